#include "Dispatch.h"

#include "RunLoop.h"

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

// The main queue is an address and nothing more: every block on it goes to RunLoop::main().
struct dispatch_queue_s {
    const char* label;
};

namespace {

dispatch_queue_s mainQueue{"com.apple.main-thread"};

constexpr dispatch_once_t kOnceDone = ~0l;
constexpr dispatch_once_t kOnceRunning = 1;

// One lock for every predicate: dispatch_once is called rarely, and only until done.
std::mutex onceMutex;
std::condition_variable onceFinished;
std::map<dispatch_once_t*, std::thread::id> onceRunners;

bool checkMainQueue(dispatch_queue_t queue, const char* function)
{
    if (queue == &mainQueue)
        return true;
    std::fprintf(stderr, "%s: unknown queue %p (only the main queue exists); block dropped\n", function,
        static_cast<void*>(queue));
    return false;
}

std::uint64_t mainClockNanoseconds()
{
    double seconds = RunLoop::main().now().time_since_epoch().count();
    if (seconds <= 0)
        return 0;
    return static_cast<std::uint64_t>(std::llround(seconds * 1e9));
}

}

dispatch_queue_t dispatch_get_main_queue()
{
    return &mainQueue;
}

void dispatch_async(dispatch_queue_t queue, dispatch_block_t block)
{
    if (!checkMainQueue(queue, "dispatch_async"))
        return;
    RunLoop::main().enqueue(std::move(block));
}

dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t deltaNanoseconds)
{
    if (when == DISPATCH_TIME_FOREVER)
        return DISPATCH_TIME_FOREVER;
    std::uint64_t base = when == DISPATCH_TIME_NOW ? mainClockNanoseconds() : when;
    if (deltaNanoseconds < 0) {
        std::uint64_t back = static_cast<std::uint64_t>(-(deltaNanoseconds + 1)) + 1;
        return back >= base ? 0 : base - back;
    }
    std::uint64_t forward = static_cast<std::uint64_t>(deltaNanoseconds);
    if (forward >= DISPATCH_TIME_FOREVER - base)
        return DISPATCH_TIME_FOREVER;
    return base + forward;
}

void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block)
{
    if (!checkMainQueue(queue, "dispatch_after"))
        return;
    if (when == DISPATCH_TIME_FOREVER)
        return;
    RunLoop& loop = RunLoop::main();
    if (when == DISPATCH_TIME_NOW) {
        loop.addTimer(Seconds::zero(), std::move(block));
        return;
    }
    loop.addTimerAt(ClockTime(std::chrono::nanoseconds(when)), std::move(block));
}

void dispatch_once(dispatch_once_t* predicate, const dispatch_block_t& block)
{
    std::atomic_ref<dispatch_once_t> state(*predicate);
    if (state.load(std::memory_order_acquire) == kOnceDone)
        return;

    std::unique_lock lock(onceMutex);
    while (state.load(std::memory_order_acquire) == kOnceRunning) {
        if (onceRunners[predicate] == std::this_thread::get_id()) {
            // libdispatch would deadlock here; say what happened instead.
            std::fprintf(stderr, "dispatch_once: the block for predicate %p called dispatch_once on the same "
                                 "predicate; the inner call is skipped\n", static_cast<void*>(predicate));
            return;
        }
        onceFinished.wait(lock);
    }
    if (state.load(std::memory_order_acquire) == kOnceDone)
        return;
    state.store(kOnceRunning, std::memory_order_release);
    onceRunners[predicate] = std::this_thread::get_id();
    lock.unlock();

    struct Finish {
        std::atomic_ref<dispatch_once_t>& state;
        dispatch_once_t* predicate;
        bool completed = false;
        ~Finish()
        {
            std::lock_guard guard(onceMutex);
            state.store(completed ? kOnceDone : 0, std::memory_order_release);
            onceRunners.erase(predicate);
            onceFinished.notify_all();
        }
    } finish{state, predicate};
    if (block)
        block();
    finish.completed = true;
}
