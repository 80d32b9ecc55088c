#include "TimerQueue.h"

#include <cmath>

TimerQueue::TimerId TimerQueue::add(ClockTime fireTime, std::optional<Seconds> interval, Callback callback)
{
    if (interval && !(*interval >= kMinimumInterval)) // also catches NaN
        interval = kMinimumInterval;
    TimerId id = ++m_lastId;
    m_timers.emplace(id, Timer { fireTime, interval, std::make_shared<Callback>(std::move(callback)) });
    m_schedule.insert({ fireTime, id });
    return id;
}

std::shared_ptr<TimerQueue::Callback> TimerQueue::cancel(TimerId timer)
{
    auto it = m_timers.find(timer);
    if (it == m_timers.end())
        return nullptr;
    auto callback = std::move(it->second.callback);
    m_schedule.erase({ it->second.fireTime, timer });
    m_timers.erase(it);
    return callback ? callback : std::make_shared<Callback>();
}

std::optional<ClockTime> TimerQueue::fireTimeOf(TimerId timer) const
{
    auto it = m_timers.find(timer);
    if (it == m_timers.end())
        return std::nullopt;
    return it->second.fireTime;
}

std::optional<ClockTime> TimerQueue::next() const
{
    if (m_schedule.empty())
        return std::nullopt;
    return m_schedule.begin()->first;
}

std::optional<TimerQueue::TimerId> TimerQueue::nextDue(ClockTime limit, TimerId newestEligible) const
{
    if (m_schedule.empty())
        return std::nullopt;
    auto [fireTime, id] = *m_schedule.begin();
    // Timers made during a pass sort after every timer that was already due (their time
    // is at least "now" and their id is larger), so stopping at the first one is enough
    // to make them wait for the next pass.
    if (fireTime > limit || id > newestEligible)
        return std::nullopt;
    return id;
}

std::optional<TimerQueue::Firing> TimerQueue::beginFiring(TimerId timer)
{
    auto it = m_timers.find(timer);
    if (it == m_timers.end())
        return std::nullopt;
    m_schedule.erase({ it->second.fireTime, timer });
    return Firing { it->second.fireTime, it->second.callback };
}

void TimerQueue::finishFiring(TimerId timer, ClockTime dueAt, ClockTime now)
{
    auto it = m_timers.find(timer);
    if (it == m_timers.end())
        return; // cancelled by its own callback
    Timer& entry = it->second;
    if (!entry.interval) {
        m_timers.erase(it);
        return;
    }
    Seconds interval = *entry.interval;
    ClockTime next = dueAt + interval;
    if (next <= now)
        next = dueAt + interval * (std::floor((now - dueAt) / interval) + 1);
    if (next <= now) // rounding at huge times
        next = now + interval;
    entry.fireTime = next;
    m_schedule.insert({ next, timer });
}

void TimerQueue::shift(Seconds shift)
{
    std::set<std::pair<ClockTime, TimerId>> rebased;
    for (auto& [id, timer] : m_timers) {
        bool scheduled = m_schedule.count({ timer.fireTime, id }) > 0;
        timer.fireTime += shift;
        if (scheduled)
            rebased.insert({ timer.fireTime, id });
    }
    m_schedule = std::move(rebased);
}

std::map<TimerQueue::TimerId, std::shared_ptr<TimerQueue::Callback>> TimerQueue::takeAll()
{
    std::map<TimerId, std::shared_ptr<Callback>> taken;
    for (auto& [id, timer] : m_timers)
        taken.emplace(id, std::move(timer.callback));
    m_timers.clear();
    m_schedule.clear();
    return taken;
}
