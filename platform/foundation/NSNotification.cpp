#include "NSNotification.h"

NSNotification::NSNotification() : objc_object(cls()) { }

NSNotification::NSNotification(Id<NSString> name, id object, Id<NSDictionary> userInfo)
    : objc_object(cls())
    , m_name(std::move(name))
    , m_object(std::move(object))
    , m_userInfo(std::move(userInfo))
{
}

Class NSNotification::cls()
{
    static Class cls = [] {
        if (Class existing = objc_getClass("NSNotification"))
            return existing;
        return ClassBuilder("NSNotification", NSObjectClass()).instancesOf<NSNotification>().permanent().get();
    }();
    return cls;
}

Id<NSNotification> NSNotification::notificationWithName(Id<NSString> name, id object, Id<NSDictionary> userInfo)
{
    return make<NSNotification>(std::move(name), std::move(object), std::move(userInfo));
}

void registerNSNotificationClass()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    ClassBuilder::extend(NSNotification::cls())
        .method("name", [](id self, SEL) -> id { return self.as<NSNotification>()->name(); })
        .method("object", [](id self, SEL) -> id { return self.as<NSNotification>()->object(); })
        .method("userInfo", [](id self, SEL) -> id { return self.as<NSNotification>()->userInfo(); });
}

static const bool notificationClassRegistered = (registerNSNotificationClass(), true);
