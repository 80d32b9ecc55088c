// The other process of the Darwin notification tests.
//   darwin_notify_helper post NAME...           posts each name in order (no run loop)
//   darwin_notify_helper observe COUNT NAME...  observes the names, prints "ready", then
//       runs the main run loop and prints each delivered name on a line of its own;
//       exits 0 after COUNT deliveries, 1 when they have not come within 5 seconds.

#include "CFNotificationCenter.h"
#include "RunLoop.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int deliveries = 0;

void printDelivery(CFNotificationCenterRef, void*, CFStringRef name, const void*, CFDictionaryRef)
{
    std::printf("%s\n", name);
    std::fflush(stdout);
    ++deliveries;
}

int usage(FILE* out, int status)
{
    std::fprintf(out, "usage: darwin_notify_helper post NAME...\n"
                      "       darwin_notify_helper observe COUNT NAME...\n");
    return status;
}

}

int main(int argc, char** argv)
{
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
        return usage(stdout, 0);
    if (argc >= 3 && std::strcmp(argv[1], "post") == 0) {
        for (int i = 2; i < argc; ++i)
            CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), argv[i], nullptr, nullptr, true);
        return 0;
    }
    if (argc >= 4 && std::strcmp(argv[1], "observe") == 0) {
        char* end = nullptr;
        long expected = std::strtol(argv[2], &end, 10);
        if (*end || expected < 0) {
            std::fprintf(stderr, "darwin_notify_helper: COUNT must be a whole number, not \"%s\"\n", argv[2]);
            return 2;
        }
        for (int i = 3; i < argc; ++i)
            CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, printDelivery, argv[i],
                nullptr, CFNotificationSuspensionBehaviorDeliverImmediately);
        std::printf("ready\n");
        std::fflush(stdout);
        bool done = RunLoop::main().runUntil([&] { return deliveries >= expected; }, Seconds(5.0));
        return done ? 0 : 1;
    }
    return usage(stderr, 2);
}
