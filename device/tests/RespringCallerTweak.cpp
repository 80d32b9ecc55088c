// A tweak for the device's tests: in SpringBoard, the local notification "test.respring"
// runs the respring operation as the product does (posix_spawn of /usr/bin/sbreload, then
// a blocking waitpid with the device's WEXITED), and traces "respring-returned" if the
// wait ever comes back.

#include "Block.h"
#include "NSNotificationCenter.h"
#include "NSOperationQueue.h"
#include "Process.h"
#include "Trace.h"

namespace {

__attribute__((constructor)) void observeRespringRequests()
{
    auto block = makeBlock<void(id)>([](id) {
        pid_t pid = 0;
        char name[] = "sbreload";
        char* argv[] = { name, nullptr };
        kv_posix_spawn(&pid, "/usr/bin/sbreload", nullptr, nullptr, argv, nullptr);
        int status = 0;
        kv_waitpid(pid, &status, 4);
        Trace::emit("respring-returned", { { "status", std::to_string(status) } });
    });
    NSNotificationCenter::defaultCenter()->addObserverForName(NSString::string("test.respring"), nil, NSOperationQueue::mainQueue(), block);
}

} // namespace
