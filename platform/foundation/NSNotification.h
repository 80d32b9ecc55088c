#pragma once
// NSNotification: what an observer of the notification centre is given.

#include "NSObjectValues.h"

class NSNotification : public objc_object {
public:
    NSNotification();
    NSNotification(Id<NSString> name, id object, Id<NSDictionary> userInfo);
    static Class cls();
    static Id<NSNotification> notificationWithName(Id<NSString> name, id object, Id<NSDictionary> userInfo = nullptr);

    const Id<NSString>& name() const { return m_name; }
    const id& object() const { return m_object; }
    const Id<NSDictionary>& userInfo() const { return m_userInfo; }

private:
    Id<NSString> m_name;
    id m_object;
    Id<NSDictionary> m_userInfo;
};

void registerNSNotificationClass();
