#pragma once
// The run loop of a process: timers, blocks queued to the main queue, and file-descriptor
// sources, all run by whichever thread calls run() (by convention the main thread; the
// process's loop is RunLoop::main()). NSTimer, dispatch_after, the main operation queue
// and the Darwin notification centre all deliver through it.
//
// Time comes from a Clock. On the real clock, waiting is poll() on the fd sources with
// the next timer's due time as the timeout. On a virtual clock the loop never sleeps for
// a timer: run() and runOnce() wait only for fds and queued blocks, and timers fire when
// the controller moves time with advanceBy(), each at its own virtual time, so a
// three-hour countdown is tested in milliseconds.
//
// Ordering rules:
// - timers fire in the order of their TimerQueue (fire time, then creation); a timer added
//   while timers are firing never fires before its own time, and never in the same drain
//   pass that was running when it was added;
// - blocks run first-in first-out; blocks queued by a timer callback run before the next
//   timer fires;
// - fd sources are level-triggered: the callback runs while the fd is readable (or at
//   end of file / error, so the owner can notice), so it must read what is there.
//
// Every member is thread-safe; callbacks run with no lock held and may add or cancel
// timers, queue blocks, and add or remove sources, including their own.

#include "Clock.h"
#include "TimerQueue.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sys/types.h>
#include <utility>

class RunLoop {
public:
    using Callback = std::function<void()>;
    using TimerId = TimerQueue::TimerId;
    using SourceId = std::uint64_t;

    static constexpr Seconds kForever { std::numeric_limits<double>::infinity() };
    static constexpr Seconds kMinimumInterval = TimerQueue::kMinimumInterval;

    RunLoop();
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // The process's main run loop (created on first use, never destroyed, so it outlives
    // every static that may still queue work while the process exits).
    static RunLoop& main();

    // --- Clock -------------------------------------------------------------------------
    // Replaces the clock. Timers already scheduled keep the time they had left.
    void setClock(std::shared_ptr<Clock> clock);
    std::shared_ptr<VirtualClock> useVirtualClock(ClockTime start = ClockTime {});
    void useRealClock();
    std::shared_ptr<Clock> clock() const;
    // The clock when it is virtual, else null.
    std::shared_ptr<VirtualClock> virtualClock() const;
    ClockTime now() const;

    // --- Timers ------------------------------------------------------------------------
    // A one-shot timer `delaySeconds` from now (negative delays count as zero).
    TimerId addTimer(Seconds delay, Callback callback);
    // A one-shot timer at an absolute time of the clock (a past time means now).
    TimerId addTimerAt(ClockTime fireTime, Callback callback);
    // A timer that fires every `intervalSeconds`, first one interval from now. When the
    // loop was too busy to fire it on time (real clock), missed firings are skipped and it
    // keeps its original rhythm, as NSTimer does.
    TimerId addRepeatingTimer(Seconds interval, Callback callback);
    // Cancels a timer; a repeating timer may cancel itself from its own callback. Answers
    // whether the timer was still valid.
    bool cancelTimer(TimerId timer);
    bool isTimerValid(TimerId timer) const;
    std::optional<ClockTime> fireTimeOf(TimerId timer) const;
    std::optional<ClockTime> nextTimerFireTime() const;
    std::size_t timerCount() const;

    // --- Blocks ------------------------------------------------------------------------
    // Queues a block to run on the loop's thread (first in, first out). Any thread.
    void enqueue(Callback block);
    std::size_t queuedBlockCount() const;

    // --- File-descriptor sources ---------------------------------------------------------
    // Calls `onReadable` on the loop's thread whenever `fd` is readable. The loop does not
    // own the fd; remove the source before closing it.
    SourceId addFdSource(int fd, Callback onReadable);
    // Calls `onWritable` whenever `fd` can be written without blocking (for output that
    // waits on a slow reader); removed like a readable source, as soon as nothing waits.
    SourceId addFdWriteSource(int fd, Callback onWritable);
    bool removeFdSource(SourceId source);
    std::size_t fdSourceCount() const;

    // --- Running -----------------------------------------------------------------------
    // Runs until stop(). stop() may come from a callback, another thread or a signal
    // handler (it only stores a flag and writes to an eventfd). A stop requested while no
    // run() is active makes the next run() return at once.
    void run();
    void stop();
    // One round: handles what is ready; when nothing is, waits up to `maxWait` (real
    // time) for an fd, a queued block or, on the real clock, a timer, and handles it.
    // Answers whether anything ran.
    bool runOnce(Seconds maxWait);
    // Runs rounds until `predicate` holds or `timeout` of real time has passed. Answers
    // the predicate's final value.
    bool runUntil(const std::function<bool()>& predicate, Seconds timeout = kForever);
    // Virtual clock: moves time forward by `step`, firing every timer that falls due on
    // the way in order, with the clock set to each timer's fire time during its callback
    // and queued blocks run between firings; never sleeps. Pending work is drained before
    // and after (fds included). Real clock: simply runs the loop for that many seconds.
    void advanceBy(Seconds step);

    // Whether a block is queued, a timer is due, or an fd source is readable now.
    bool hasPendingWork();
    // One drain pass without waiting: the blocks queued so far, the timers due now (those
    // that existed when the pass began), and the readable fd sources. Answers whether
    // anything ran.
    bool drainPending();
    // Drains until nothing is pending (at most `maxPasses` passes); answers whether the
    // loop came to rest. Lets a controller wait until the effects of an action settled.
    bool settle(int maxPasses = 10000);

    // Forgets every timer, block and source, returns to the real clock and clears a
    // pending stop: a fresh loop for the next test.
    void resetForTesting();

private:
    struct Source {
        int fd = -1;
        std::shared_ptr<Callback> callback;
        short events = 0;  // POLLIN or POLLOUT
    };
    SourceId addSource(int fd, short events, Callback callback);

    TimerId scheduleTimer(ClockTime fireTime, std::optional<Seconds> interval, Callback callback);
    void fireTimer(TimerId timer);
    bool fireDueTimers();
    bool runQueuedBlocks();
    // Polls the fd sources (and the wake fd) for up to `timeout` and runs the callbacks of
    // the readable ones. Answers whether a callback ran.
    bool pollSources(Seconds timeout);
    bool anySourceReadable();
    Seconds timeUntilNextTimer() const;
    ClockTime nowLocked() const;
    void wake();
    int wakeFd();
    void drainWakeFd();

    mutable std::mutex m_mutex;
    std::shared_ptr<Clock> m_clock;
    TimerQueue m_timers;
    std::deque<Callback> m_blocks;
    std::map<SourceId, Source> m_sources;
    SourceId m_lastSourceId = 0;
    std::atomic<bool> m_stopRequested{false};
    // The wake-up eventfd and the process that made it, in one word (see wakeFd()).
    std::atomic<std::uint64_t> m_wakeDescriptor{0};
};
