#include "Dispatch.h"
#include "ClockTestSupport.h"
#include "RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

struct DispatchOnMainLoop : ::testing::Test {
    std::shared_ptr<VirtualClock> clock;
    void SetUp() override
    {
        RunLoop::main().resetForTesting();
        clock = RunLoop::main().useVirtualClock(at(50.0));
    }
    void TearDown() override { RunLoop::main().resetForTesting(); }
};

}

TEST_F(DispatchOnMainLoop, DispatchTimeCountsNanosecondsOnTheMainClock)
{
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, 0), 50 * NSEC_PER_SEC);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, 150 * NSEC_PER_MSEC), 50 * NSEC_PER_SEC + 150000000);
    dispatch_time_t later = dispatch_time(DISPATCH_TIME_NOW, 1 * NSEC_PER_SEC);
    EXPECT_EQ(dispatch_time(later, -2 * static_cast<std::int64_t>(NSEC_PER_SEC)), 49 * NSEC_PER_SEC);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, -100 * static_cast<std::int64_t>(NSEC_PER_SEC)), 0u);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_FOREVER, -1), DISPATCH_TIME_FOREVER);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, INT64_MAX), 50 * NSEC_PER_SEC + static_cast<std::uint64_t>(INT64_MAX));
}

TEST_F(DispatchOnMainLoop, DispatchAfterFiresWhenVirtualTimeReachesIt)
{
    double firedAt = -1;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 150000000), dispatch_get_main_queue(),
        [&] { firedAt = secondsOf(RunLoop::main().now()); });

    RunLoop::main().advanceBy(Seconds(0.149));
    EXPECT_EQ(firedAt, -1);
    RunLoop::main().advanceBy(Seconds(0.001));
    EXPECT_DOUBLE_EQ(firedAt, 50.15);
}

TEST_F(DispatchOnMainLoop, DelayedBlocksFireInTimeOrderAndQueuedBlocksRunAtTheNextPass)
{
    std::vector<int> order;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 2 * NSEC_PER_SEC), dispatch_get_main_queue(), [&] { order.push_back(3); });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 1 * NSEC_PER_SEC), dispatch_get_main_queue(), [&] { order.push_back(2); });
    dispatch_async(dispatch_get_main_queue(), [&] { order.push_back(1); });
    dispatch_after(DISPATCH_TIME_FOREVER, dispatch_get_main_queue(), [&] { order.push_back(99); });
    EXPECT_TRUE(order.empty());
    RunLoop::main().settle();
    EXPECT_EQ(order, std::vector<int>{1});
    RunLoop::main().advanceBy(Seconds(3600));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(DispatchOnMainLoop, AnUnknownQueueDropsTheBlockLoudlyInsteadOfCrashing)
{
    bool ran = false;
    testing::internal::CaptureStderr();
    dispatch_async(nullptr, [&] { ran = true; });
    std::string message = testing::internal::GetCapturedStderr();
    RunLoop::main().settle();
    EXPECT_FALSE(ran);
    EXPECT_NE(message.find("dispatch_async: unknown queue"), std::string::npos);
}

TEST_F(DispatchOnMainLoop, AsyncFromAnotherThreadRunsOnTheThreadRunningTheLoop)
{
    std::thread::id ranOn;
    std::thread worker([&] {
        dispatch_async(dispatch_get_main_queue(), [&] {
            ranOn = std::this_thread::get_id();
            RunLoop::main().stop();
        });
    });
    RunLoop::main().run();
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(DispatchOnceTest, RunsExactlyOnceWhileSeveralThreadsRace)
{
    static dispatch_once_t predicate;
    constexpr int kThreads = 8;
    std::atomic<int> runs{0};
    std::atomic<int> arrived{0};
    std::atomic<int> valueSeen[kThreads];
    int value = 0;

    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            arrived.fetch_add(1);
            dispatch_once(&predicate, [&] {
                runs.fetch_add(1);
                // Hold the block open until every thread has arrived, so the others
                // really call dispatch_once while it runs (bounded, never a sleep).
                auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
                while (arrived.load() < kThreads && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::yield();
                value = 42;
            });
            valueSeen[i] = value;  // every caller returns only after the block finished
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(runs.load(), 1);
    for (int i = 0; i < kThreads; ++i)
        EXPECT_EQ(valueSeen[i].load(), 42) << "thread " << i;

    dispatch_once(&predicate, [&] { runs.fetch_add(1); });
    EXPECT_EQ(runs.load(), 1);
}

TEST(DispatchOnceTest, ABlockThatThrowsLeavesThePredicateForTheNextCaller)
{
    dispatch_once_t predicate = 0;
    EXPECT_THROW(dispatch_once(&predicate, [] { throw std::runtime_error("boom"); }), std::runtime_error);
    int runs = 0;
    dispatch_once(&predicate, [&] { ++runs; });
    dispatch_once(&predicate, [&] { ++runs; });
    EXPECT_EQ(runs, 1);
}

TEST(DispatchOnceTest, ARecursiveCallIsReportedInsteadOfDeadlocking)
{
    dispatch_once_t predicate = 0;
    int inner = 0;
    testing::internal::CaptureStderr();
    dispatch_once(&predicate, [&] { dispatch_once(&predicate, [&] { ++inner; }); });
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(inner, 0);
    EXPECT_NE(message.find("same predicate"), std::string::npos);
}
