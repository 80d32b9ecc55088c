#pragma once
// NSTimer on the main run loop (RunLoop::main()), so it fires on that loop's clock: real
// in interactive use, virtual in scenarios and tests.
//
// As on the device, the run loop holds a scheduled timer and the timer holds its target
// and user info until it is invalidated; a one-shot timer invalidates itself once it has
// fired. The target's method is sent the timer ("v@:@"); a method declared without an
// argument ("v@:") is called without it.

#include "NSObjectValues.h"
#include "RunLoop.h"

#include <optional>
#include <vector>

class NSTimer : public objc_object {
public:
    NSTimer();
    static Class cls();
    // scheduledTimerWithTimeInterval:target:selector:userInfo:repeats: — first fires one
    // interval from now. A non-positive interval counts as 0.1 ms, as on the device.
    static Id<NSTimer> scheduledTimerWithTimeInterval(double interval, const id& target, SEL selector, const id& userInfo, bool repeats);

    // Stops the timer for good and lets go of its target and user info. Harmless to call
    // again, and from the timer's own callback.
    void invalidate();
    bool isValid() const;
    // Calls the target now, outside the schedule; a one-shot timer is then invalidated.
    void fire();

    // The repeat interval; 0 for a one-shot timer, as on the device.
    double timeInterval() const { return m_repeats ? m_interval : 0; }
    const id& userInfo() const { return m_userInfo; }
    // When it fires next, on the main run loop's clock; nothing once invalid.
    std::optional<ClockTime> fireTime() const;
    const id& target() const { return m_target; }
    SEL selector() const { return m_selector; }

    // The scheduled timers that are still valid, oldest first: what the main run loop
    // holds, as a debugger of the device would list it.
    static std::vector<Id<NSTimer>> scheduledTimers();

private:
    void callTarget();

    id m_target;
    SEL m_selector = nullptr;
    id m_userInfo;
    double m_interval = 0;
    bool m_repeats = false;
    bool m_invalidated = false;
    RunLoop::TimerId m_timer = 0;
};

void registerNSTimerClass();
