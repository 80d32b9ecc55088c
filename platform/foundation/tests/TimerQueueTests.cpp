// The run loop's firing order, as a plain queue: no clock, no waiting.

#include "ClockTestSupport.h"
#include "TimerQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using TimerId = TimerQueue::TimerId;

// Fires every timer due at `now` the way a drain pass does, answering their names.
std::vector<std::string> drain(TimerQueue& queue, ClockTime now, std::vector<std::string>& log)
{
    log.clear();
    TimerId newest = queue.newest();
    while (auto due = queue.nextDue(now, newest)) {
        auto firing = queue.beginFiring(*due);
        (*firing->callback)();
        queue.finishFiring(*due, firing->dueAt, now);
    }
    return log;
}

TEST(TimerQueueTest, FiresByTimeThenByCreationAndOnlyWhatIsDue)
{
    TimerQueue queue;
    std::vector<std::string> log;
    queue.add(at(5), std::nullopt, [&] { log.push_back("b at 5"); });
    queue.add(at(3), std::nullopt, [&] { log.push_back("a at 3"); });
    queue.add(at(5), std::nullopt, [&] { log.push_back("c at 5"); });
    queue.add(at(9), std::nullopt, [&] { log.push_back("d at 9"); });
    EXPECT_EQ(drain(queue, at(6), log), (std::vector<std::string> { "a at 3", "b at 5", "c at 5" }));
    EXPECT_EQ(queue.size(), 1u) << "one-shot timers are gone once fired";
    EXPECT_EQ(queue.next(), at(9));
}

TEST(TimerQueueTest, ATimerMadeWhileOthersFireWaitsForTheNextPass)
{
    TimerQueue queue;
    std::vector<std::string> log;
    queue.add(at(1), std::nullopt, [&] {
        log.push_back("first");
        queue.add(at(1), std::nullopt, [&] { log.push_back("made by first"); });
    });
    EXPECT_EQ(drain(queue, at(1), log), std::vector<std::string> { "first" });
    EXPECT_EQ(drain(queue, at(1), log), std::vector<std::string> { "made by first" });
}

TEST(TimerQueueTest, ARepeatingTimerKeepsItsBeatSkipsMissedBeatsAndIsOutOfTheOrderWhileFiring)
{
    TimerQueue queue;
    std::vector<std::string> log;
    TimerId ticker = queue.add(at(10), Seconds(10), [&] { log.push_back("tick"); });
    auto firing = queue.beginFiring(ticker);
    ASSERT_TRUE(firing);
    EXPECT_FALSE(queue.next()) << "a firing timer cannot be fired again by a nested pass";
    queue.finishFiring(ticker, firing->dueAt, at(35));
    EXPECT_EQ(queue.fireTimeOf(ticker), at(40)) << "beats at 20 and 30 were missed: the next one is 40, not 20";

    TimerId fast = queue.add(at(0), Seconds(0), [] { });
    queue.finishFiring(fast, at(0), at(0));
    EXPECT_EQ(queue.fireTimeOf(fast), ClockTime(TimerQueue::kMinimumInterval)) << "no interval is shorter than the minimum";
}

TEST(TimerQueueTest, CancellingGivesTheCallbackBackOnceAndAShiftKeepsWhatIsLeft)
{
    TimerQueue queue;
    TimerId one = queue.add(at(4), std::nullopt, [] { });
    TimerId two = queue.add(at(6), Seconds(1), [] { });
    EXPECT_TRUE(queue.cancel(one));
    EXPECT_FALSE(queue.cancel(one));
    EXPECT_FALSE(queue.contains(one));
    queue.shift(Seconds(100));
    EXPECT_EQ(queue.fireTimeOf(two), at(106));
    EXPECT_EQ(queue.takeAll().size(), 1u);
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_FALSE(queue.next());
}

} // namespace
