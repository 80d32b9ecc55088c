#include "CFNotificationCenter.h"

#include "DarwinNotifyCenter.h"

#include <cstdio>

namespace {

bool isDarwinCenter(CFNotificationCenterRef center, const char* function)
{
    if (center && center == DarwinNotifyCenter::shared().ref())
        return true;
    std::fprintf(stderr, "%s: %p is not a notification centre of this platform (only the Darwin centre exists)\n",
        function, static_cast<void*>(center));
    return false;
}

}

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter()
{
    return DarwinNotifyCenter::shared().ref();
}

void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
    CFNotificationCallback callback, CFStringRef name, const void* object,
    CFNotificationSuspensionBehavior suspensionBehavior)
{
    if (!isDarwinCenter(center, "CFNotificationCenterAddObserver"))
        return;
    if (!name) {
        std::fprintf(stderr, "CFNotificationCenterAddObserver: the Darwin centre needs a notification name; "
                             "observer not registered\n");
        return;
    }
    if (suspensionBehavior < CFNotificationSuspensionBehaviorDrop
        || suspensionBehavior > CFNotificationSuspensionBehaviorDeliverImmediately) {
        std::fprintf(stderr, "CFNotificationCenterAddObserver: unknown suspension behaviour %ld for \"%s\"; "
                             "delivering immediately\n", static_cast<long>(suspensionBehavior), name);
        suspensionBehavior = CFNotificationSuspensionBehaviorDeliverImmediately;
    }
    DarwinNotifyCenter::shared().addObserver(observer, callback, name, suspensionBehavior);
}

void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, const void* observer, CFStringRef name,
    const void* object)
{
    if (isDarwinCenter(center, "CFNotificationCenterRemoveObserver"))
        DarwinNotifyCenter::shared().removeObserver(observer, name);
}

void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef center, const void* observer)
{
    if (isDarwinCenter(center, "CFNotificationCenterRemoveEveryObserver"))
        DarwinNotifyCenter::shared().removeObserver(observer, nullptr);
}

void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name, const void* object,
    CFDictionaryRef userInfo, bool deliverImmediately)
{
    if (!isDarwinCenter(center, "CFNotificationCenterPostNotification"))
        return;
    if (!name) {
        std::fprintf(stderr, "CFNotificationCenterPostNotification: no notification name; nothing posted\n");
        return;
    }
    DarwinNotifyCenter::shared().post(name);
}
