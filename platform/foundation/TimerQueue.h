#pragma once
// The order in which a run loop's timers fire, apart from how the loop waits for them:
// a plain, single-threaded queue (the run loop locks around it), tested on its own.
//
// - Timers fire in fire-time order; equal times fire in creation order (a repeating timer
//   keeps its creation rank for all its firings).
// - A timer made while others fire can be held back: nextDue() takes only timers no newer
//   than the newest one eligible, so a drain pass never fires a timer added during it.
// - A timer is out of the order while it fires, so a nested drain cannot fire it again;
//   afterwards a repeating timer goes back in at its next beat after `now`, skipping beats
//   it missed, and a one-shot timer is gone.

#include "Clock.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>

class TimerQueue {
public:
    using TimerId = std::uint64_t;
    using Callback = std::function<void()>;

    // Shorter repeat intervals are raised to this one, as NSTimer does, so that a
    // repeating timer can never keep a drain pass busy for ever.
    static constexpr Seconds kMinimumInterval { 0.0001 };

    // A timer that fires at `fireTime`, once, or every `interval` after that.
    TimerId add(ClockTime fireTime, std::optional<Seconds> interval, Callback callback);
    // Answers the cancelled timer's callback (to be destroyed outside any lock: its
    // captures may cancel timers too), or null when the timer was no longer valid.
    std::shared_ptr<Callback> cancel(TimerId timer);

    bool contains(TimerId timer) const { return m_timers.count(timer) > 0; }
    std::optional<ClockTime> fireTimeOf(TimerId timer) const;
    // The earliest scheduled fire time (a timer that is firing is not scheduled).
    std::optional<ClockTime> next() const;
    std::size_t size() const { return m_timers.size(); }
    // The newest timer made so far (0 when none).
    TimerId newest() const { return m_lastId; }

    // The first timer due at or before `limit` and no newer than `newestEligible`.
    std::optional<TimerId> nextDue(ClockTime limit, TimerId newestEligible) const;

    struct Firing {
        ClockTime dueAt;
        std::shared_ptr<Callback> callback;
    };
    // Takes the timer out of the order for its firing; nothing when it is no longer valid.
    std::optional<Firing> beginFiring(TimerId timer);
    void finishFiring(TimerId timer, ClockTime dueAt, ClockTime now);

    // Moves every timer by `shift` (the loop changed clocks; each keeps the time it had left).
    void shift(Seconds shift);
    // Empties the queue; answers what it held, to be destroyed outside any lock.
    std::map<TimerId, std::shared_ptr<Callback>> takeAll();

private:
    struct Timer {
        ClockTime fireTime;
        std::optional<Seconds> interval;
        std::shared_ptr<Callback> callback;
    };

    std::map<TimerId, Timer> m_timers;
    std::set<std::pair<ClockTime, TimerId>> m_schedule; // fire order
    TimerId m_lastId = 0;
};
