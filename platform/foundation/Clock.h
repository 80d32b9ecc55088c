#pragma once
// The time source of a run loop. Interactive use runs on the real, monotonic clock;
// scenarios and tests run on a virtual clock that moves only when told, so an hour of
// timers passes in microseconds and every firing happens at an exact, repeatable time.
//
// Time is typed: a `Seconds` is a length of time (a delay, an interval, a timeout), a
// `ClockTime` a moment of a clock. The two never stand in for each other.

#include <atomic>
#include <chrono>

class Clock;
using Seconds = std::chrono::duration<double>;
using ClockTime = std::chrono::time_point<Clock, Seconds>;

class Clock {
public:
    virtual ~Clock() = default;
    // The time since this clock's epoch.
    virtual ClockTime now() const = 0;
};

// Monotonic time (the steady clock; its epoch is unspecified, usually the boot).
class RealClock final : public Clock {
public:
    ClockTime now() const override;
};

// Time that stands still until advance() or set() moves it. Readable from any thread.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(ClockTime start = ClockTime {}) : m_now(start.time_since_epoch().count()) { }

    ClockTime now() const override { return ClockTime(Seconds(m_now.load(std::memory_order_acquire))); }

    // Moves time forward. A negative or non-finite step is refused with a message on
    // standard error and leaves the time as it was.
    void advance(Seconds step);
    // Puts the clock at an absolute time (backwards is allowed; timers then wait longer).
    void set(ClockTime time);

private:
    std::atomic<double> m_now; // seconds since the epoch
};
