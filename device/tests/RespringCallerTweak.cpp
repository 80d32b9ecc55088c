// A tweak for the device's tests: in SpringBoard, the local notification "test.respring"
// runs the respring operation as the product does (posix_spawn of /usr/bin/sbreload, then
// a blocking waitpid with the device's WEXITED), and traces "respring-returned" if the
// wait ever comes back; "test.respring-in-100s" does the same from a timer 100 seconds
// later, as a time limit running out does.

#include "Block.h"
#include "Dispatch.h"
#include "NSNotificationCenter.h"
#include "NSOperationQueue.h"
#include "Process.h"
#include "Trace.h"

namespace {

void respring()
{
    pid_t pid = 0;
    char name[] = "sbreload";
    char* argv[] = { name, nullptr };
    kv_posix_spawn(&pid, "/usr/bin/sbreload", nullptr, nullptr, argv, nullptr);
    int status = 0;
    kv_waitpid(pid, &status, 4);
    Trace::emit("respring-returned", { { "status", std::to_string(status) } });
}

__attribute__((constructor)) void observeRespringRequests()
{
    auto center = NSNotificationCenter::defaultCenter();
    center->addObserverForName(NSString::string("test.respring"), nil, NSOperationQueue::mainQueue(), makeBlock<void(id)>([](id) { respring(); }));
    center->addObserverForName(NSString::string("test.respring-in-100s"), nil, NSOperationQueue::mainQueue(), makeBlock<void(id)>([](id) {
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 100 * NSEC_PER_SEC), dispatch_get_main_queue(), [] { respring(); });
    }));
}

} // namespace
