#include "RunLoop.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace {

timespec toTimespec(double seconds)
{
    // A timer decades away waits no longer than this; beyond time_t, ppoll would refuse.
    seconds = std::min(seconds, 1e9);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
    if (ts.tv_nsec >= 1000000000L)
        ts.tv_nsec = 999999999L;
    return ts;
}

double realSecondsNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}

RunLoop::RunLoop() : m_clock(std::make_shared<RealClock>()) { }

RunLoop::~RunLoop()
{
    int fd = m_wakeFd.load();
    if (fd >= 0 && m_wakeFdOwner.load() == getpid())
        ::close(fd);
}

RunLoop& RunLoop::main()
{
    static RunLoop* mainLoop = new RunLoop();
    return *mainLoop;
}

// --- Clock -----------------------------------------------------------------------------

void RunLoop::setClock(std::shared_ptr<Clock> clock)
{
    if (!clock) {
        std::fprintf(stderr, "RunLoop: setClock called with no clock; keeping the current one\n");
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        double shift = clock->now() - m_clock->now();
        m_clock = std::move(clock);
        std::set<std::pair<double, TimerId>> rebased;
        for (auto& [id, timer] : m_timers) {
            bool scheduled = m_schedule.count({timer.fireTime, id}) > 0;
            timer.fireTime += shift;
            if (scheduled)
                rebased.insert({timer.fireTime, id});
        }
        m_schedule = std::move(rebased);
    }
    wake();
}

std::shared_ptr<VirtualClock> RunLoop::useVirtualClock(double start)
{
    auto clock = std::make_shared<VirtualClock>(start);
    setClock(clock);
    return clock;
}

void RunLoop::useRealClock()
{
    setClock(std::make_shared<RealClock>());
}

std::shared_ptr<Clock> RunLoop::clock() const
{
    std::lock_guard lock(m_mutex);
    return m_clock;
}

std::shared_ptr<VirtualClock> RunLoop::virtualClock() const
{
    std::lock_guard lock(m_mutex);
    return std::dynamic_pointer_cast<VirtualClock>(m_clock);
}

double RunLoop::now() const
{
    std::lock_guard lock(m_mutex);
    return nowLocked();
}

double RunLoop::nowLocked() const
{
    return m_clock->now();
}

// --- Timers ----------------------------------------------------------------------------

RunLoop::TimerId RunLoop::addTimer(double delaySeconds, Callback callback)
{
    if (!(delaySeconds > 0))  // also catches NaN
        delaySeconds = 0;
    std::unique_lock lock(m_mutex);
    double fireTime = nowLocked() + delaySeconds;
    lock.unlock();
    return scheduleTimer(fireTime, 0, false, std::move(callback));
}

RunLoop::TimerId RunLoop::addTimerAt(double fireTime, Callback callback)
{
    return scheduleTimer(fireTime, 0, false, std::move(callback));
}

RunLoop::TimerId RunLoop::addRepeatingTimer(double intervalSeconds, Callback callback)
{
    if (!(intervalSeconds >= kMinimumInterval))
        intervalSeconds = kMinimumInterval;
    std::unique_lock lock(m_mutex);
    double fireTime = nowLocked() + intervalSeconds;
    lock.unlock();
    return scheduleTimer(fireTime, intervalSeconds, true, std::move(callback));
}

RunLoop::TimerId RunLoop::scheduleTimer(double fireTime, double interval, bool repeats, Callback callback)
{
    TimerId id;
    {
        std::lock_guard lock(m_mutex);
        double now = nowLocked();
        if (!(fireTime >= now))
            fireTime = now;
        id = ++m_lastTimerId;
        Timer timer;
        timer.fireTime = fireTime;
        timer.interval = interval;
        timer.repeats = repeats;
        timer.callback = std::make_shared<Callback>(std::move(callback));
        m_timers.emplace(id, std::move(timer));
        m_schedule.insert({fireTime, id});
    }
    wake();
    return id;
}

bool RunLoop::cancelTimer(TimerId timer)
{
    std::shared_ptr<Callback> releasedAfterUnlock;  // its captures may cancel timers too
    std::lock_guard lock(m_mutex);
    auto it = m_timers.find(timer);
    if (it == m_timers.end())
        return false;
    releasedAfterUnlock = std::move(it->second.callback);
    m_schedule.erase({it->second.fireTime, timer});
    m_timers.erase(it);
    return true;
}

bool RunLoop::isTimerValid(TimerId timer) const
{
    std::lock_guard lock(m_mutex);
    return m_timers.count(timer) > 0;
}

std::optional<double> RunLoop::fireTimeOf(TimerId timer) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_timers.find(timer);
    if (it == m_timers.end())
        return std::nullopt;
    return it->second.fireTime;
}

std::optional<double> RunLoop::nextTimerFireTime() const
{
    std::lock_guard lock(m_mutex);
    if (m_schedule.empty())
        return std::nullopt;
    return m_schedule.begin()->first;
}

std::size_t RunLoop::timerCount() const
{
    std::lock_guard lock(m_mutex);
    return m_timers.size();
}

std::optional<RunLoop::TimerId> RunLoop::nextDueTimer(double limit, TimerId newestEligible) const
{
    if (m_schedule.empty())
        return std::nullopt;
    auto [fireTime, id] = *m_schedule.begin();
    // Timers made during this pass sort after every timer that was already due (their
    // time is at least "now" and their id is larger), so stopping at the first one is
    // enough to make them wait for the next pass.
    if (fireTime > limit || id > newestEligible)
        return std::nullopt;
    return id;
}

void RunLoop::fireTimer(TimerId timer)
{
    std::shared_ptr<Callback> callback;
    double firedAt;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_timers.find(timer);
        if (it == m_timers.end())
            return;
        firedAt = it->second.fireTime;
        // Out of the schedule while it runs, so a nested drain cannot fire it again.
        m_schedule.erase({firedAt, timer});
        callback = it->second.callback;
    }
    struct Rescheduler {
        RunLoop& loop;
        TimerId timer;
        double firedAt;
        ~Rescheduler() { loop.finishFiring(timer, firedAt); }
    } rescheduleEvenIfTheCallbackThrows{*this, timer, firedAt};
    if (*callback)
        (*callback)();
}

void RunLoop::finishFiring(TimerId timer, double firedAt)
{
    std::lock_guard lock(m_mutex);
    auto it = m_timers.find(timer);
    if (it == m_timers.end())
        return;  // cancelled by its own callback
    Timer& entry = it->second;
    if (!entry.repeats) {
        m_timers.erase(it);
        return;
    }
    double now = nowLocked();
    double next = firedAt + entry.interval;
    if (next <= now)
        next = firedAt + entry.interval * (std::floor((now - firedAt) / entry.interval) + 1);
    if (next <= now)  // rounding at huge times
        next = now + entry.interval;
    entry.fireTime = next;
    m_schedule.insert({next, timer});
}

bool RunLoop::fireDueTimers()
{
    TimerId newestEligible;
    {
        std::lock_guard lock(m_mutex);
        newestEligible = m_lastTimerId;
    }
    bool fired = false;
    while (true) {
        std::optional<TimerId> due;
        {
            std::lock_guard lock(m_mutex);
            due = nextDueTimer(nowLocked(), newestEligible);
        }
        if (!due)
            break;
        fireTimer(*due);
        fired = true;
        runQueuedBlocks();
    }
    return fired;
}

double RunLoop::secondsUntilNextTimer() const
{
    std::lock_guard lock(m_mutex);
    if (m_schedule.empty())
        return kForever;
    return std::max(0.0, m_schedule.begin()->first - nowLocked());
}

// --- Blocks ----------------------------------------------------------------------------

void RunLoop::enqueue(Callback block)
{
    {
        std::lock_guard lock(m_mutex);
        m_blocks.push_back(std::move(block));
    }
    wake();
}

std::size_t RunLoop::queuedBlockCount() const
{
    std::lock_guard lock(m_mutex);
    return m_blocks.size();
}

bool RunLoop::runQueuedBlocks()
{
    std::size_t count;
    {
        std::lock_guard lock(m_mutex);
        count = m_blocks.size();
    }
    // Only the blocks queued before this call: a block that queues another cannot keep
    // the loop here for ever.
    std::size_t ran = 0;
    for (; ran < count; ++ran) {
        Callback block;
        {
            std::lock_guard lock(m_mutex);
            if (m_blocks.empty())
                break;
            block = std::move(m_blocks.front());
            m_blocks.pop_front();
        }
        if (block)
            block();
    }
    return ran > 0;
}

// --- File-descriptor sources -------------------------------------------------------------

RunLoop::SourceId RunLoop::addFdSource(int fd, Callback onReadable)
{
    return addSource(fd, POLLIN, std::move(onReadable));
}

RunLoop::SourceId RunLoop::addFdWriteSource(int fd, Callback onWritable)
{
    return addSource(fd, POLLOUT, std::move(onWritable));
}

RunLoop::SourceId RunLoop::addSource(int fd, short events, Callback callback)
{
    if (fd < 0) {
        std::fprintf(stderr, "RunLoop: refusing an fd source for invalid descriptor %d\n", fd);
        return 0;
    }
    SourceId id;
    {
        std::lock_guard lock(m_mutex);
        id = ++m_lastSourceId;
        m_sources.emplace(id, Source{fd, std::make_shared<Callback>(std::move(callback)), events});
    }
    wake();
    return id;
}

bool RunLoop::removeFdSource(SourceId source)
{
    std::shared_ptr<Callback> releasedAfterUnlock;
    std::lock_guard lock(m_mutex);
    auto it = m_sources.find(source);
    if (it == m_sources.end())
        return false;
    releasedAfterUnlock = std::move(it->second.callback);
    m_sources.erase(it);
    return true;
}

std::size_t RunLoop::fdSourceCount() const
{
    std::lock_guard lock(m_mutex);
    return m_sources.size();
}

bool RunLoop::pollSources(double timeoutSeconds)
{
    std::vector<pollfd> fds;
    std::vector<SourceId> ids;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [id, source] : m_sources) {
            fds.push_back({source.fd, source.events, 0});
            ids.push_back(id);
        }
    }
    fds.push_back({wakeFd(), POLLIN, 0});

    timespec timeout{};
    timespec* timeoutArg = nullptr;
    if (std::isfinite(timeoutSeconds)) {
        timeout = toTimespec(std::max(0.0, timeoutSeconds));
        timeoutArg = &timeout;
    }
    int ready = ::ppoll(fds.data(), fds.size(), timeoutArg, nullptr);
    if (ready < 0) {
        if (errno != EINTR)
            std::fprintf(stderr, "RunLoop: poll failed: %s\n", std::strerror(errno));
        return false;
    }
    if (ready == 0)
        return false;
    if (fds.back().revents & POLLIN)
        drainWakeFd();

    bool ran = false;
    for (std::size_t i = 0; i + 1 < fds.size(); ++i) {
        short events = fds[i].revents;
        if (!events)
            continue;
        std::shared_ptr<Callback> callback;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_sources.find(ids[i]);
            if (it == m_sources.end() || it->second.fd != fds[i].fd)
                continue;  // removed by an earlier callback of this round
            if (events & POLLNVAL) {
                std::fprintf(stderr, "RunLoop: fd %d was closed while still a run-loop source; source removed\n", fds[i].fd);
                m_sources.erase(it);
                continue;
            }
            callback = it->second.callback;
        }
        if (*callback)
            (*callback)();
        ran = true;
    }
    return ran;
}

bool RunLoop::anySourceReadable()
{
    std::vector<pollfd> fds;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [id, source] : m_sources) {
            if (source.events == POLLIN)
                fds.push_back({source.fd, POLLIN, 0});
        }
    }
    if (fds.empty())
        return false;
    int ready = ::poll(fds.data(), fds.size(), 0);
    return ready > 0;
}

// --- Waking ----------------------------------------------------------------------------

int RunLoop::wakeFd()
{
    // A forked child must not share its parent's eventfd: reading it would swallow the
    // parent's wake-ups.
    pid_t self = getpid();
    if (m_wakeFdOwner.load() != self) {
        int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (fd < 0) {
            std::fprintf(stderr, "RunLoop: cannot create the wake-up eventfd: %s\n", std::strerror(errno));
            return -1;
        }
        int previous = m_wakeFd.exchange(fd);
        m_wakeFdOwner.store(self);
        (void)previous;  // the parent's descriptor stays open in the child; it is harmless
    }
    return m_wakeFd.load();
}

void RunLoop::wake()
{
    int fd = wakeFd();
    if (fd < 0)
        return;
    std::uint64_t one = 1;
    ssize_t written = ::write(fd, &one, sizeof one);
    (void)written;  // a full counter already means "wake up"
}

void RunLoop::drainWakeFd()
{
    std::uint64_t count;
    ssize_t got = ::read(wakeFd(), &count, sizeof count);
    (void)got;
}

// --- Running ---------------------------------------------------------------------------

void RunLoop::run()
{
    while (!m_stopRequested.exchange(false))
        runOnce(kForever);
}

void RunLoop::stop()
{
    m_stopRequested.store(true);
    wake();
}

bool RunLoop::runOnce(double maxWaitSeconds)
{
    if (drainPending())
        return true;
    if (m_stopRequested.load())
        return false;
    double timeout = maxWaitSeconds;
    if (!virtualClock())
        timeout = std::min(timeout, secondsUntilNextTimer());
    bool ran = pollSources(timeout);
    return drainPending() || ran;
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, double timeoutSeconds)
{
    double deadline = realSecondsNow() + timeoutSeconds;
    while (!predicate()) {
        double remaining = deadline - realSecondsNow();
        if (remaining <= 0)
            return predicate();
        runOnce(remaining);
    }
    return true;
}

void RunLoop::advanceBy(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0) {
        std::fprintf(stderr, "RunLoop: refusing to advance by %g seconds (must be finite and >= 0)\n", seconds);
        return;
    }
    std::shared_ptr<VirtualClock> clock = virtualClock();
    if (!clock) {
        runUntil([] { return false; }, seconds);
        return;
    }
    drainPending();
    double target = clock->now() + seconds;
    while (true) {
        std::optional<std::pair<double, TimerId>> next;
        {
            std::lock_guard lock(m_mutex);
            if (!m_schedule.empty() && m_schedule.begin()->first <= target)
                next = *m_schedule.begin();
        }
        if (!next)
            break;
        if (next->first > clock->now())
            clock->set(next->first);
        fireTimer(next->second);
        runQueuedBlocks();
    }
    if (clock->now() < target)
        clock->set(target);
    drainPending();
}

bool RunLoop::hasPendingWork()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_blocks.empty())
            return true;
        if (!m_schedule.empty() && m_schedule.begin()->first <= nowLocked())
            return true;
    }
    return anySourceReadable();
}

bool RunLoop::drainPending()
{
    bool ran = runQueuedBlocks();
    ran = fireDueTimers() || ran;
    ran = pollSources(0) || ran;
    return ran;
}

bool RunLoop::settle(int maxPasses)
{
    for (int pass = 0; pass < maxPasses; ++pass) {
        if (!hasPendingWork())
            return true;
        drainPending();
    }
    return !hasPendingWork();
}

void RunLoop::resetForTesting()
{
    // Destroyed outside the lock: a captured object's destructor may queue work.
    std::map<TimerId, Timer> timers;
    std::deque<Callback> blocks;
    std::map<SourceId, Source> sources;
    {
        std::lock_guard lock(m_mutex);
        timers.swap(m_timers);
        blocks.swap(m_blocks);
        sources.swap(m_sources);
        m_schedule.clear();
        m_clock = std::make_shared<RealClock>();
    }
    m_stopRequested.store(false);
    drainWakeFd();
}
