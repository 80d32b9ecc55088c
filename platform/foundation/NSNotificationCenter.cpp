#include "NSNotificationCenter.h"

#include "Block.h"
#include "TargetAction.h"
#include "Trace.h"

#include <atomic>
#include <fmt/format.h>

namespace {

// The token that addObserverForName:object:queue:usingBlock: answers.
Class observerTokenClass()
{
    static Class cls = [] {
        if (Class existing = objc_getClass("__NSObserver"))
            return existing;
        return ClassBuilder("__NSObserver", NSObjectClass()).permanent().get();
    }();
    return cls;
}

bool sameName(const Id<NSString>& a, const Id<NSString>& b)
{
    return a ? a->isEqualToString(b) : !b;
}

// A name given through a message send: nil or a string; anything else would quietly turn
// into "every name", so it is refused.
Id<NSString> nameArgument(const id& name)
{
    auto text = name.as<NSString>();
    if (name && !text)
        throw RuntimeError(fmt::format("NSNotificationCenter: a notification name must be a string, not a {}", object_getClassName(name)));
    return text;
}

} // namespace

struct NSNotificationCenter::Registration {
    id observer; // the selector observer, or the token of a block observer
    SEL selector = nullptr;
    id block;
    Id<NSString> name;
    id object;
    std::atomic<bool> removed { false };

    bool matches(const Id<NSNotification>& notification) const
    {
        bool nameMatches = !name || name->isEqualToString(notification->name());
        bool objectMatches = !object || object == notification->object();
        return nameMatches && objectMatches;
    }

    void deliver(const Id<NSNotification>& notification) const
    {
        if (block)
            callBlock<void>(block, id(notification));
        else
            performTargetAction(observer, selector, notification);
    }
};

NSNotificationCenter::NSNotificationCenter() : objc_object(cls()) { }
NSNotificationCenter::~NSNotificationCenter() = default;

Class NSNotificationCenter::cls()
{
    static Class cls = [] {
        if (Class existing = objc_getClass("NSNotificationCenter"))
            return existing;
        return ClassBuilder("NSNotificationCenter", NSObjectClass()).instancesOf<NSNotificationCenter>().permanent().get();
    }();
    return cls;
}

Id<NSNotificationCenter> NSNotificationCenter::defaultCenter()
{
    static NSNotificationCenter* shared = [] {
        auto* center = new NSNotificationCenter;
        center->makeImmortal();
        return center;
    }();
    return Id<NSNotificationCenter>(shared);
}

void NSNotificationCenter::addObserver(const id& observer, SEL selector, const Id<NSString>& name, const id& object)
{
    if (!observer)
        return; // as on the device: nothing to call
    if (!selector)
        throw RuntimeError("-[NSNotificationCenter addObserver:selector:name:object:]: the selector is null");
    auto registration = std::make_shared<Registration>();
    registration->observer = observer;
    registration->selector = selector;
    registration->name = name;
    registration->object = object;
    std::lock_guard lock(m_mutex);
    m_registrations.push_back(std::move(registration));
}

id NSNotificationCenter::addObserverForName(const Id<NSString>& name, const id& object, const id& queue, const id& block)
{
    if (!block)
        throw RuntimeError("-[NSNotificationCenter addObserverForName:object:queue:usingBlock:]: the block is nil");
    auto operationQueue = queue.as<NSOperationQueue>();
    if (queue && (!operationQueue || !operationQueue->isMainQueue()))
        throw RuntimeError("-[NSNotificationCenter addObserverForName:object:queue:usingBlock:]: only the main queue exists here");
    id token = class_createInstance(observerTokenClass());
    auto registration = std::make_shared<Registration>();
    registration->observer = token;
    registration->block = block;
    registration->name = name;
    registration->object = object;
    std::lock_guard lock(m_mutex);
    m_registrations.push_back(std::move(registration));
    return token;
}

void NSNotificationCenter::removeObserver(const id& observer)
{
    removeObserver(observer, nullptr, nil);
}

void NSNotificationCenter::removeObserver(const id& observer, const Id<NSString>& name, const id& object)
{
    if (!observer)
        return;
    std::vector<std::shared_ptr<Registration>> removed; // released outside the lock
    std::lock_guard lock(m_mutex);
    std::erase_if(m_registrations, [&](const std::shared_ptr<Registration>& registration) {
        bool matches = registration->observer == observer && (!name || sameName(registration->name, name))
            && (!object || registration->object == object);
        if (matches) {
            registration->removed = true;
            removed.push_back(registration);
        }
        return matches;
    });
}

std::vector<std::shared_ptr<NSNotificationCenter::Registration>> NSNotificationCenter::matchingRegistrations(const Id<NSNotification>& notification) const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::shared_ptr<Registration>> result;
    for (const auto& registration : m_registrations) {
        if (registration->matches(notification))
            result.push_back(registration);
    }
    return result;
}

void NSNotificationCenter::postNotification(const Id<NSNotification>& notification)
{
    if (!notification || !notification->name())
        throw RuntimeError("-[NSNotificationCenter postNotification:]: a notification needs a name");
    Trace::emit("notification", { { "centre", "local" }, { "name", notification->name()->utf8() } });
    // The observers are chosen before any runs, so one added by an observer waits for
    // the next posting; one removed by an observer is skipped.
    for (const auto& registration : matchingRegistrations(notification)) {
        if (!registration->removed)
            registration->deliver(notification);
    }
}

void NSNotificationCenter::postNotificationName(const Id<NSString>& name, const id& object, const id& userInfo)
{
    if (!name)
        throw RuntimeError("-[NSNotificationCenter postNotificationName:object:userInfo:]: the name is nil");
    auto dictionary = userInfo.as<NSDictionary>();
    if (userInfo && !dictionary)
        throw RuntimeError(fmt::format("-[NSNotificationCenter postNotificationName:object:userInfo:]: the user info is a {}, not a dictionary",
            object_getClassName(userInfo)));
    postNotification(NSNotification::notificationWithName(name, object, dictionary));
}

size_t NSNotificationCenter::observerCount() const
{
    std::lock_guard lock(m_mutex);
    return m_registrations.size();
}

void NSNotificationCenter::resetForTesting()
{
    std::vector<std::shared_ptr<Registration>> removed;
    std::lock_guard lock(m_mutex);
    for (auto& registration : m_registrations)
        registration->removed = true;
    removed.swap(m_registrations);
}

void registerNSNotificationCenterClass()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    observerTokenClass();
    ClassBuilder::extend(NSNotificationCenter::cls())
        .classMethod("defaultCenter", [](id, SEL) -> id { return NSNotificationCenter::defaultCenter(); })
        .method("addObserver:selector:name:object:", [](id self, SEL, id observer, SEL selector, id name, id object) {
            self.as<NSNotificationCenter>()->addObserver(observer, selector, nameArgument(name), object);
        })
        .method("addObserverForName:object:queue:usingBlock:", [](id self, SEL, id name, id object, id queue, id block) -> id {
            return self.as<NSNotificationCenter>()->addObserverForName(nameArgument(name), object, queue, block);
        })
        .method("removeObserver:", [](id self, SEL, id observer) { self.as<NSNotificationCenter>()->removeObserver(observer); })
        .method("removeObserver:name:object:", [](id self, SEL, id observer, id name, id object) {
            self.as<NSNotificationCenter>()->removeObserver(observer, nameArgument(name), object);
        })
        .method("postNotification:", [](id self, SEL, id notification) {
            self.as<NSNotificationCenter>()->postNotification(notification.as<NSNotification>());
        })
        .method("postNotificationName:object:", [](id self, SEL, id name, id object) {
            self.as<NSNotificationCenter>()->postNotificationName(nameArgument(name), object);
        })
        .method("postNotificationName:object:userInfo:", [](id self, SEL, id name, id object, id userInfo) {
            self.as<NSNotificationCenter>()->postNotificationName(nameArgument(name), object, userInfo);
        });
}

static const bool notificationCenterClassRegistered = (registerNSNotificationCenterClass(), true);
