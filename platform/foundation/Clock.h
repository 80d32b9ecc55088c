#pragma once
// The time source of a run loop. Interactive use runs on the real, monotonic clock;
// scenarios and tests run on a virtual clock that moves only when told, so an hour of
// timers passes in microseconds and every firing happens at an exact, repeatable time.

#include <atomic>

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since this clock's epoch.
    virtual double now() const = 0;
};

// Monotonic time (the steady clock; its epoch is unspecified, usually the boot).
class RealClock final : public Clock {
public:
    double now() const override;
};

// Time that stands still until advance() or set() moves it. Readable from any thread.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(double start = 0.0) : m_now(start) { }

    double now() const override { return m_now.load(std::memory_order_acquire); }

    // Moves time forward. A negative or non-finite step is refused with a message on
    // standard error and leaves the time as it was.
    void advance(double seconds);
    // Puts the clock at an absolute time (backwards is allowed; timers then wait longer).
    void set(double seconds);

private:
    std::atomic<double> m_now;
};
