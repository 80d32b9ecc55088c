#include "NSTimer.h"

#include "TargetAction.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

constexpr double kShortestInterval = 0.0001;

// Every timer scheduled so far that was not yet seen invalid.
struct ScheduledTimers {
    std::mutex mutex;
    std::vector<Id<NSTimer>> timers;
};
ScheduledTimers& scheduled()
{
    static auto* list = new ScheduledTimers;
    return *list;
}

} // namespace

NSTimer::NSTimer() : objc_object(cls()) { }

Class NSTimer::cls()
{
    static Class cls = [] {
        if (Class existing = objc_getClass("NSTimer"))
            return existing;
        return ClassBuilder("NSTimer", NSObjectClass()).instancesOf<NSTimer>().permanent().get();
    }();
    return cls;
}

Id<NSTimer> NSTimer::scheduledTimerWithTimeInterval(double interval, const id& target, SEL selector, const id& userInfo, bool repeats)
{
    if (!target || !selector)
        throw RuntimeError("+[NSTimer scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:]: a target and a selector are needed");
    auto timer = make<NSTimer>();
    timer->m_target = target;
    timer->m_selector = selector;
    timer->m_userInfo = userInfo;
    timer->m_interval = std::isfinite(interval) && interval > 0 ? interval : kShortestInterval;
    timer->m_repeats = repeats;
    // The callback holds the timer, as the run loop retains a scheduled timer; cancelling
    // the run-loop timer (invalidate, or the end of a one-shot) lets it go.
    auto callback = [timer] { timer->callTarget(); };
    Seconds every(timer->m_interval);
    timer->m_timer = repeats ? RunLoop::main().addRepeatingTimer(every, callback) : RunLoop::main().addTimer(every, callback);
    std::lock_guard lock(scheduled().mutex);
    std::erase_if(scheduled().timers, [](const Id<NSTimer>& old) { return !old->isValid(); });
    scheduled().timers.push_back(timer);
    return timer;
}

void NSTimer::callTarget()
{
    // Kept alive for the call even if the target invalidates this timer meanwhile.
    id target = m_target;
    Id<NSTimer> self(this);
    performTargetAction(target, m_selector, self);
    if (!m_repeats)
        invalidate();
}

void NSTimer::invalidate()
{
    if (m_invalidated)
        return;
    m_invalidated = true;
    RunLoop::main().cancelTimer(m_timer);
    m_target = nil;
    m_userInfo = nil;
}

bool NSTimer::isValid() const
{
    return !m_invalidated && RunLoop::main().isTimerValid(m_timer);
}

void NSTimer::fire()
{
    if (!isValid())
        return;
    callTarget();
}

std::optional<ClockTime> NSTimer::fireTime() const
{
    if (m_invalidated)
        return std::nullopt;
    return RunLoop::main().fireTimeOf(m_timer);
}

std::vector<Id<NSTimer>> NSTimer::scheduledTimers()
{
    std::lock_guard lock(scheduled().mutex);
    auto& timers = scheduled().timers;
    std::erase_if(timers, [](const Id<NSTimer>& timer) { return !timer->isValid(); });
    return timers;
}

void registerNSTimerClass()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    ClassBuilder::extend(NSTimer::cls())
        .classMethod("scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:",
            [](id, SEL, double interval, id target, SEL selector, id userInfo, bool repeats) -> id {
                return NSTimer::scheduledTimerWithTimeInterval(interval, target, selector, userInfo, repeats);
            })
        .method("invalidate", [](id self, SEL) { self.as<NSTimer>()->invalidate(); })
        .method("isValid", [](id self, SEL) -> bool { return self.as<NSTimer>()->isValid(); })
        .method("fire", [](id self, SEL) { self.as<NSTimer>()->fire(); })
        .method("timeInterval", [](id self, SEL) -> double { return self.as<NSTimer>()->timeInterval(); })
        .method("userInfo", [](id self, SEL) -> id { return self.as<NSTimer>()->userInfo(); });
}

static const bool timerClassRegistered = (registerNSTimerClass(), true);
