#include "RunLoop.h"
#include "ClockTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <semaphore>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// A loop on a virtual clock, and a log of (label, time of firing).
struct VirtualLoop : ::testing::Test {
    RunLoop loop;
    std::shared_ptr<VirtualClock> clock = loop.useVirtualClock(at(100.0));
    std::vector<std::pair<std::string, double>> fired;

    RunLoop::Callback record(std::string label)
    {
        return [this, label] { fired.emplace_back(label, secondsOf(loop.now())); };
    }
    std::vector<std::string> labels() const
    {
        std::vector<std::string> out;
        for (const auto& entry : fired)
            out.push_back(entry.first);
        return out;
    }
};

using Labels = std::vector<std::string>;

}

TEST(VirtualClockTest, MovesOnlyWhenToldAndRefusesToGoBackByAdvance)
{
    VirtualClock clock(at(5));
    EXPECT_EQ(secondsOf(clock.now()), 5);
    clock.advance(Seconds(2.5));
    EXPECT_EQ(secondsOf(clock.now()), 7.5);
    clock.advance(Seconds(-1));
    EXPECT_EQ(secondsOf(clock.now()), 7.5);
    clock.set(at(1));
    EXPECT_EQ(secondsOf(clock.now()), 1);
}

TEST_F(VirtualLoop, TimersFireInTimeOrderAtTheirOwnTimeAndTiesInCreationOrder)
{
    loop.addTimer(Seconds(3), record("c"));
    loop.addTimer(Seconds(1), record("a1"));
    loop.addTimer(Seconds(2), record("b"));
    loop.addTimer(Seconds(1), record("a2"));
    loop.addTimer(Seconds(10), record("late"));

    loop.advanceBy(Seconds(5));

    std::vector<std::pair<std::string, double>> expected{{"a1", 101}, {"a2", 101}, {"b", 102}, {"c", 103}};
    EXPECT_EQ(fired, expected);
    EXPECT_EQ(secondsOf(clock->now()), 105);
    EXPECT_EQ(loop.timerCount(), 1u);

    loop.advanceBy(Seconds(5));
    EXPECT_EQ(fired.back(), std::make_pair(std::string("late"), 110.0));
}

TEST_F(VirtualLoop, RepeatingTimersRepeatAtTheirIntervalInterleavedWithOthers)
{
    loop.addRepeatingTimer(Seconds(1.0), record("tick"));
    loop.addRepeatingTimer(Seconds(1.5), record("tock"));
    loop.advanceBy(Seconds(3.2));

    std::vector<std::pair<std::string, double>> expected{
        {"tick", 101}, {"tock", 101.5}, {"tick", 102}, {"tick", 103}, {"tock", 103}};
    EXPECT_EQ(fired, expected);
}

TEST_F(VirtualLoop, ARepeatingTimerCanCancelItselfFromItsCallback)
{
    int ticks = 0;
    RunLoop::TimerId timer = 0;
    timer = loop.addRepeatingTimer(Seconds(1.0), [&] {
        if (++ticks == 3) {
            EXPECT_TRUE(loop.cancelTimer(timer));
        }
    });
    loop.advanceBy(Seconds(10));
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(loop.isTimerValid(timer));
    EXPECT_FALSE(loop.cancelTimer(timer));
}

TEST_F(VirtualLoop, CancelledTimersNeverFire)
{
    RunLoop::TimerId doomed = loop.addTimer(Seconds(1), record("doomed"));
    loop.addTimer(Seconds(2), record("kept"));
    EXPECT_TRUE(loop.cancelTimer(doomed));
    loop.advanceBy(Seconds(3));
    EXPECT_EQ(labels(), Labels{"kept"});
}

TEST_F(VirtualLoop, ATimerAddedDuringAFiringWaitsForItsOwnTime)
{
    loop.addTimer(Seconds(1), [&] {
        fired.emplace_back("first", secondsOf(loop.now()));
        loop.addTimer(Seconds(0.5), record("added+0.5"));
        loop.addTimer(Seconds(0), record("added+0"));
    });
    loop.addTimer(Seconds(1.2), record("existing"));

    loop.advanceBy(Seconds(2));

    std::vector<std::pair<std::string, double>> expected{
        {"first", 101}, {"added+0", 101}, {"existing", 101.2}, {"added+0.5", 101.5}};
    EXPECT_EQ(fired, expected);
}

TEST_F(VirtualLoop, ATimerAddedDuringADrainPassIsLeftForTheNextPass)
{
    loop.addTimer(Seconds(0), [&] {
        fired.emplace_back("first", secondsOf(loop.now()));
        loop.addTimer(Seconds(0), record("second"));
    });
    EXPECT_TRUE(loop.drainPending());
    EXPECT_EQ(labels(), Labels{"first"});
    EXPECT_TRUE(loop.hasPendingWork());
    EXPECT_TRUE(loop.drainPending());
    EXPECT_EQ(labels(), (Labels{"first", "second"}));
    EXPECT_FALSE(loop.hasPendingWork());
}

TEST_F(VirtualLoop, BlocksQueuedByATimerRunBeforeTheNextTimerEvenAtTheSameTime)
{
    loop.addTimer(Seconds(1), [&] {
        fired.emplace_back("timer1", secondsOf(loop.now()));
        loop.enqueue(record("block from timer1"));
    });
    loop.addTimer(Seconds(1), record("timer2"));
    loop.advanceBy(Seconds(1));
    EXPECT_EQ(labels(), (Labels{"timer1", "block from timer1", "timer2"}));
}

TEST_F(VirtualLoop, RunOnceNeverFiresAFutureTimerOnAVirtualClock)
{
    loop.addTimer(Seconds(0.001), record("future"));
    EXPECT_FALSE(loop.runOnce(Seconds(0.0)));
    EXPECT_TRUE(fired.empty());
    clock->advance(Seconds(0.001));
    EXPECT_TRUE(loop.runOnce(Seconds(0.0)));
    EXPECT_EQ(labels(), Labels{"future"});
}

TEST_F(VirtualLoop, AJumpOfTheClockFiresARepeatingTimerOnceAndKeepsItsRhythm)
{
    RunLoop::TimerId timer = loop.addRepeatingTimer(Seconds(1.0), record("tick"));
    clock->set(at(105.5));
    loop.settle();
    EXPECT_EQ(fired.size(), 1u);
    EXPECT_EQ(loop.fireTimeOf(timer), at(106.0));
}

TEST_F(VirtualLoop, ChangingTheClockKeepsTheTimeLeftOnEveryTimer)
{
    loop.addTimer(Seconds(2), record("a"));
    auto other = std::make_shared<VirtualClock>(at(7000));
    loop.setClock(other);
    EXPECT_EQ(loop.nextTimerFireTime(), at(7002.0));
    loop.advanceBy(Seconds(2));
    EXPECT_EQ(fired, (std::vector<std::pair<std::string, double>>{{"a", 7002}}));
}

TEST_F(VirtualLoop, BlocksRunFirstInFirstOutAndBlocksTheyQueueWaitForTheNextPass)
{
    loop.enqueue(record("1"));
    loop.enqueue([&] {
        fired.emplace_back("2", 0);
        loop.enqueue(record("4"));
    });
    loop.enqueue(record("3"));
    EXPECT_EQ(loop.queuedBlockCount(), 3u);
    loop.drainPending();
    EXPECT_EQ(labels(), (Labels{"1", "2", "3"}));
    EXPECT_TRUE(loop.settle());
    EXPECT_EQ(labels(), (Labels{"1", "2", "3", "4"}));
}

TEST_F(VirtualLoop, ResetForgetsEverythingAndReturnsToTheRealClock)
{
    loop.addTimer(Seconds(1), record("t"));
    loop.enqueue(record("b"));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    loop.addFdSource(fds[0], record("fd"));
    loop.resetForTesting();
    EXPECT_EQ(loop.timerCount() + loop.queuedBlockCount() + loop.fdSourceCount(), 0u);
    EXPECT_EQ(loop.virtualClock(), nullptr);
    close(fds[0]);
    close(fds[1]);
}

TEST(RunLoopFdSourceTest, CallsBackWhileReadableAndStopsOnceRemoved)
{
    RunLoop loop;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string received;
    RunLoop::SourceId source = loop.addFdSource(fds[0], [&] {
        char buffer[16];
        ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got > 0)
            received.append(buffer, static_cast<std::size_t>(got));
    });

    EXPECT_FALSE(loop.hasPendingWork());
    ASSERT_EQ(write(fds[1], "hi", 2), 2);
    EXPECT_TRUE(loop.hasPendingWork());
    EXPECT_TRUE(loop.runUntil([&] { return received == "hi"; }, Seconds(5.0)));
    EXPECT_FALSE(loop.hasPendingWork());

    EXPECT_TRUE(loop.removeFdSource(source));
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    EXPECT_FALSE(loop.drainPending());
    EXPECT_EQ(received, "hi");
    close(fds[0]);
    close(fds[1]);
}

TEST(RunLoopFdSourceTest, ASourceWhoseFdWasClosedIsDroppedNotSpunOn)
{
    RunLoop loop;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int calls = 0;
    loop.addFdSource(fds[0], [&] { ++calls; });
    close(fds[0]);
    close(fds[1]);
    loop.drainPending();
    EXPECT_EQ(loop.fdSourceCount(), 0u);
    EXPECT_EQ(calls, 0);
}

TEST(RunLoopFdSourceTest, ASourceMayRemoveItselfFromItsCallback)
{
    RunLoop loop;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int calls = 0;
    RunLoop::SourceId source = 0;
    source = loop.addFdSource(fds[0], [&] {
        ++calls;
        loop.removeFdSource(source);
    });
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    loop.drainPending();
    loop.drainPending();
    EXPECT_EQ(calls, 1);
    close(fds[0]);
    close(fds[1]);
}

TEST(RunLoopRealClockTest, RunWaitsForTheNextTimerAndStopsWhenAsked)
{
    RunLoop loop;
    double scheduledAt = secondsOf(loop.now());
    double firedAt = 0;
    loop.addTimer(Seconds(0.02), [&] {
        firedAt = secondsOf(loop.now());
        loop.stop();
    });
    loop.run();
    EXPECT_GE(firedAt - scheduledAt, 0.02);
}

TEST(RunLoopRealClockTest, ABlockQueuedFromAnotherThreadWakesTheLoop)
{
    RunLoop loop;
    std::thread::id ranOn;
    std::thread poster([&] { loop.enqueue([&] { ranOn = std::this_thread::get_id(); loop.stop(); }); });
    loop.run();
    poster.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

// A loop first touched by several threads at once must give them all one wake-up
// descriptor: with two, a block queued on one is never seen by a loop polling the other
// (a loop that never wakes), and the other is never closed. Each loop here is woken first
// from four threads released together; every descriptor must be gone with its loop.
TEST(RunLoopRealClockTest, ThreadsThatWakeANewLoopTogetherShareOneWakeUpDescriptor)
{
    auto openDescriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
    };
    auto before = openDescriptors();
    for (int round = 0; round < 200; ++round) {
        RunLoop loop;
        std::atomic<int> waiting { 4 };
        std::vector<std::thread> wakers;
        for (int i = 0; i < 4; ++i) {
            wakers.emplace_back([&] {
                waiting.fetch_sub(1);
                while (waiting.load() > 0)
                    std::this_thread::yield();
                loop.enqueue([] { });
            });
        }
        for (auto& waker : wakers)
            waker.join();
    }
    EXPECT_EQ(openDescriptors(), before);
}

// A clock that lets a test act at the moment the loop reads the time: a turn that finds
// its queue empty reads it once, on its way from the queue to the poll for ready fds.
class ClockWithAHook final : public Clock {
public:
    ClockTime now() const override
    {
        if (m_readsUntilHook.fetch_sub(1) == 1)
            m_hook();
        return ClockTime();
    }
    void hookAfterReads(int reads, std::function<void()> hook)
    {
        m_hook = std::move(hook);
        m_readsUntilHook.store(reads);
    }

private:
    mutable std::atomic<int> m_readsUntilHook { 0 };
    std::function<void()> m_hook;
};

// A block queued from another thread while the loop is between looking at its queue and
// polling must still wake it: its wake-up may be read on the way by the poll that looks
// for ready fds without waiting, and the loop must then not go to sleep. Here another
// thread queues a block exactly then (at the read of the time in the turn after a kick);
// a block left waiting for a second is a lost wake-up: the loop would sleep for ever.
TEST(RunLoopRealClockTest, ABlockQueuedWhileTheLoopIsBetweenItsQueueAndItsPollIsNotLost)
{
    RunLoop loop;
    auto clock = std::make_shared<ClockWithAHook>();
    loop.setClock(clock);
    std::binary_semaphore queueNow { 0 };
    std::atomic<bool> finished { false };
    std::atomic<int> ran { 0 };
    std::thread queuer([&] {
        while (true) {
            queueNow.acquire();
            if (finished.load())
                return;
            loop.enqueue([&] { ran.fetch_add(1); });
        }
    });
    std::thread runner([&] { loop.run(); });
    int lost = 0;
    for (int round = 1; round <= 200 && lost == 0; ++round) {
        // The kick's own turn reads the time once; the next turn finds the queue empty.
        loop.enqueue([&] {
            clock->hookAfterReads(2, [&] {
                // The loop holds its lock while it reads the time: the other thread gets
                // as far as waiting for it, and queues as soon as the loop lets go.
                queueNow.release();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            });
        });
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (ran.load() < round && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        if (ran.load() < round)
            ++lost;
    }
    loop.enqueue([&] { loop.stop(); });  // also runs a block that was lost
    runner.join();
    finished.store(true);
    queueNow.release();
    queuer.join();
    EXPECT_EQ(lost, 0);
}

TEST(RunLoopRealClockTest, AStopRequestedBeforeRunEndsOnlyTheNextRun)
{
    RunLoop loop;
    std::thread stopper([&] { loop.stop(); });
    stopper.join();
    bool ran = false;
    loop.enqueue([&] { ran = true; });
    loop.run();  // returns at once: the stop was pending
    EXPECT_FALSE(ran);
    loop.enqueue([&] { loop.stop(); });
    loop.run();
    EXPECT_TRUE(ran);
}

TEST(RunLoopRealClockTest, RunUntilGivesUpAtItsTimeout)
{
    RunLoop loop;
    EXPECT_FALSE(loop.runUntil([] { return false; }, Seconds(0.01)));
}
