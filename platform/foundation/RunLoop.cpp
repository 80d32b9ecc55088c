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

timespec toTimespec(Seconds wait)
{
    // A timer decades away waits no longer than this; beyond time_t, ppoll would refuse.
    double seconds = std::min(wait.count(), 1e9);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
    if (ts.tv_nsec >= 1000000000L)
        ts.tv_nsec = 999999999L;
    return ts;
}

ClockTime realNow()
{
    return RealClock().now();
}

// The wake-up descriptor word: the owning process in the high half, the fd in the low.
std::uint64_t packDescriptor(pid_t owner, int fd)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(owner)) << 32) | static_cast<std::uint32_t>(fd);
}

pid_t ownerOf(std::uint64_t descriptor)
{
    return static_cast<pid_t>(descriptor >> 32);
}

int fdOf(std::uint64_t descriptor)
{
    return static_cast<int>(descriptor & 0xffffffffu);
}

}

RunLoop::RunLoop() : m_clock(std::make_shared<RealClock>()) { }

RunLoop::~RunLoop()
{
    std::uint64_t descriptor = m_wakeDescriptor.load();
    if (ownerOf(descriptor) == getpid())
        ::close(fdOf(descriptor));
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
        Seconds shift = clock->now() - m_clock->now();
        m_clock = std::move(clock);
        m_timers.shift(shift);
    }
    wake();
}

std::shared_ptr<VirtualClock> RunLoop::useVirtualClock(ClockTime start)
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

ClockTime RunLoop::now() const
{
    std::lock_guard lock(m_mutex);
    return nowLocked();
}

ClockTime RunLoop::nowLocked() const
{
    return m_clock->now();
}

// --- Timers ----------------------------------------------------------------------------

RunLoop::TimerId RunLoop::addTimer(Seconds delay, Callback callback)
{
    if (!(delay > Seconds::zero())) // also catches NaN
        delay = Seconds::zero();
    return scheduleTimer(now() + delay, std::nullopt, std::move(callback));
}

RunLoop::TimerId RunLoop::addTimerAt(ClockTime fireTime, Callback callback)
{
    return scheduleTimer(fireTime, std::nullopt, std::move(callback));
}

RunLoop::TimerId RunLoop::addRepeatingTimer(Seconds interval, Callback callback)
{
    if (!(interval >= kMinimumInterval))
        interval = kMinimumInterval;
    return scheduleTimer(now() + interval, interval, std::move(callback));
}

RunLoop::TimerId RunLoop::scheduleTimer(ClockTime fireTime, std::optional<Seconds> interval, Callback callback)
{
    TimerId id;
    {
        std::lock_guard lock(m_mutex);
        ClockTime current = nowLocked();
        if (!(fireTime >= current))
            fireTime = current;
        id = m_timers.add(fireTime, interval, std::move(callback));
    }
    wake();
    return id;
}

bool RunLoop::cancelTimer(TimerId timer)
{
    std::shared_ptr<Callback> releasedAfterUnlock; // its captures may cancel timers too
    std::lock_guard lock(m_mutex);
    releasedAfterUnlock = m_timers.cancel(timer);
    return releasedAfterUnlock != nullptr;
}

bool RunLoop::isTimerValid(TimerId timer) const
{
    std::lock_guard lock(m_mutex);
    return m_timers.contains(timer);
}

std::optional<ClockTime> RunLoop::fireTimeOf(TimerId timer) const
{
    std::lock_guard lock(m_mutex);
    return m_timers.fireTimeOf(timer);
}

std::optional<ClockTime> RunLoop::nextTimerFireTime() const
{
    std::lock_guard lock(m_mutex);
    return m_timers.next();
}

std::size_t RunLoop::timerCount() const
{
    std::lock_guard lock(m_mutex);
    return m_timers.size();
}

void RunLoop::fireTimer(TimerId timer)
{
    std::optional<TimerQueue::Firing> firing;
    {
        std::lock_guard lock(m_mutex);
        firing = m_timers.beginFiring(timer);
    }
    if (!firing)
        return;
    struct Rescheduler {
        RunLoop& loop;
        TimerId timer;
        ClockTime dueAt;
        ~Rescheduler()
        {
            std::lock_guard lock(loop.m_mutex);
            loop.m_timers.finishFiring(timer, dueAt, loop.nowLocked());
        }
    } rescheduleEvenIfTheCallbackThrows { *this, timer, firing->dueAt };
    if (*firing->callback)
        (*firing->callback)();
}

bool RunLoop::fireDueTimers()
{
    TimerId newestEligible;
    {
        std::lock_guard lock(m_mutex);
        newestEligible = m_timers.newest();
    }
    bool fired = false;
    while (true) {
        std::optional<TimerId> due;
        {
            std::lock_guard lock(m_mutex);
            due = m_timers.nextDue(nowLocked(), newestEligible);
        }
        if (!due)
            break;
        fireTimer(*due);
        fired = true;
        runQueuedBlocks();
    }
    return fired;
}

Seconds RunLoop::timeUntilNextTimer() const
{
    std::lock_guard lock(m_mutex);
    auto next = m_timers.next();
    if (!next)
        return kForever;
    return std::max(Seconds::zero(), *next - nowLocked());
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

bool RunLoop::pollSources(Seconds timeout)
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

    timespec wait {};
    timespec* waitArg = nullptr;
    if (std::isfinite(timeout.count())) {
        wait = toTimespec(std::max(Seconds::zero(), timeout));
        waitArg = &wait;
    }
    int ready = ::ppoll(fds.data(), fds.size(), waitArg, nullptr);
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
    // parent's wake-ups. The first threads to wake a loop may each make one; the first to
    // publish its own wins and the others close theirs, so that a poller and a waker never
    // hold two different descriptors. No lock: a child forked meanwhile must not inherit
    // one held.
    pid_t self = getpid();
    std::uint64_t current = m_wakeDescriptor.load();
    if (ownerOf(current) == self)
        return fdOf(current);
    int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "RunLoop: cannot create the wake-up eventfd: %s\n", std::strerror(errno));
        return -1;
    }
    // The parent's descriptor stays open in the child; it is harmless.
    while (!m_wakeDescriptor.compare_exchange_weak(current, packDescriptor(self, fd))) {
        if (ownerOf(current) == self) {
            ::close(fd);
            return fdOf(current);
        }
    }
    return fd;
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

bool RunLoop::runOnce(Seconds maxWait)
{
    if (drainPending())
        return true;
    if (m_stopRequested.load())
        return false;
    // A block queued from another thread after drainPending looked at the queue may have
    // had its wake-up read by drainPending's own poll: look again before sleeping. (Timers,
    // fd sources and stop requests are looked at after that poll, so theirs cannot be lost.)
    if (queuedBlockCount() > 0)
        return false;
    Seconds timeout = maxWait;
    if (!virtualClock())
        timeout = std::min(timeout, timeUntilNextTimer());
    bool ran = pollSources(timeout);
    return drainPending() || ran;
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, Seconds timeout)
{
    ClockTime deadline = realNow() + timeout;
    while (!predicate()) {
        Seconds remaining = deadline - realNow();
        if (remaining <= Seconds::zero())
            return predicate();
        runOnce(remaining);
    }
    return true;
}

void RunLoop::advanceBy(Seconds step)
{
    if (!std::isfinite(step.count()) || step < Seconds::zero()) {
        std::fprintf(stderr, "RunLoop: refusing to advance by %g seconds (must be finite and >= 0)\n", step.count());
        return;
    }
    std::shared_ptr<VirtualClock> clock = virtualClock();
    if (!clock) {
        runUntil([] { return false; }, step);
        return;
    }
    drainPending();
    ClockTime target = clock->now() + step;
    while (true) {
        std::optional<TimerId> next;
        std::optional<ClockTime> fireTime;
        {
            std::lock_guard lock(m_mutex);
            next = m_timers.nextDue(target, m_timers.newest());
            if (next)
                fireTime = m_timers.fireTimeOf(*next);
        }
        if (!next)
            break;
        if (*fireTime > clock->now())
            clock->set(*fireTime);
        fireTimer(*next);
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
        if (auto next = m_timers.next(); next && *next <= nowLocked())
            return true;
    }
    return anySourceReadable();
}

bool RunLoop::drainPending()
{
    bool ran = runQueuedBlocks();
    ran = fireDueTimers() || ran;
    ran = pollSources(Seconds::zero()) || ran;
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
    std::map<TimerId, std::shared_ptr<Callback>> timers;
    std::deque<Callback> blocks;
    std::map<SourceId, Source> sources;
    {
        std::lock_guard lock(m_mutex);
        timers = m_timers.takeAll();
        blocks.swap(m_blocks);
        sources.swap(m_sources);
        m_clock = std::make_shared<RealClock>();
    }
    m_stopRequested.store(false);
    drainWakeFd();
}
