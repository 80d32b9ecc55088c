#pragma once
// CoreFoundation's notification-centre calls, for the one centre this platform has: the
// Darwin centre, which carries bare names between processes (see DarwinNotifyCenter.h).
// As on the device, Darwin notifications carry no object and no user info: the object
// and userInfo arguments are ignored, and observers always receive null for both.
//
// In this platform a CFStringRef is a plain C string and CFSTR("x") is "x".

typedef const char* CFStringRef;
#ifndef CFSTR
#define CFSTR(text) (text)
#endif
typedef const void* CFDictionaryRef;
typedef long CFIndex;

typedef struct CFNotificationCenterOpaque* CFNotificationCenterRef;

enum CFNotificationSuspensionBehavior : CFIndex {
    CFNotificationSuspensionBehaviorDrop = 1,
    CFNotificationSuspensionBehaviorCoalesce = 2,
    CFNotificationSuspensionBehaviorHold = 3,
    CFNotificationSuspensionBehaviorDeliverImmediately = 4,
};

typedef void (*CFNotificationCallback)(CFNotificationCenterRef center, void* observer, CFStringRef name,
    const void* object, CFDictionaryRef userInfo);

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter();

// Calls `callback` on the main run loop for every post of `name` by any process of this
// device root (this one included). `observer` is handed back to the callback and names
// the registration for removal; it may be null. A null or empty name is refused loudly.
void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
    CFNotificationCallback callback, CFStringRef name, const void* object,
    CFNotificationSuspensionBehavior suspensionBehavior);

// Removes `observer`'s registrations for `name` (every name when `name` is null).
void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, const void* observer, CFStringRef name,
    const void* object);
void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef center, const void* observer);

// Sends `name` to every observing process of this device root. Needs no run loop in the
// posting process.
void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name, const void* object,
    CFDictionaryRef userInfo, bool deliverImmediately);
