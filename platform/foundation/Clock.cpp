#include "Clock.h"

#include <cmath>
#include <cstdio>

ClockTime RealClock::now() const
{
    return ClockTime(std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch()));
}

void VirtualClock::advance(Seconds step)
{
    double seconds = step.count();
    if (!std::isfinite(seconds) || seconds < 0) {
        std::fprintf(stderr, "VirtualClock: refusing to advance by %g seconds (must be finite and >= 0)\n", seconds);
        return;
    }
    double current = m_now.load(std::memory_order_acquire);
    while (!m_now.compare_exchange_weak(current, current + seconds, std::memory_order_acq_rel)) { }
}

void VirtualClock::set(ClockTime time)
{
    double seconds = time.time_since_epoch().count();
    if (!std::isfinite(seconds)) {
        std::fprintf(stderr, "VirtualClock: refusing to set the time to %g\n", seconds);
        return;
    }
    m_now.store(seconds, std::memory_order_release);
}
