#include "NSTimer.h"
#include "ClockTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Records each firing as (the time on the run loop's clock, the timer it was given).
struct FiringRecord {
    double time;
    id timer;
};

std::vector<FiringRecord>& firings()
{
    static std::vector<FiringRecord> list;
    return list;
}

Class targetClass()
{
    static Class cls = ClassBuilder("TimerTestTarget", NSObjectClass())
                           .permanent()
                           .method("tick:", [](id, SEL, id timer) { firings().push_back({ secondsOf(RunLoop::main().now()), timer }); })
                           .method("timerFired", [](id, SEL) { firings().push_back({ secondsOf(RunLoop::main().now()), nil }); })
                           .method("stopAfterTwo:", [](id, SEL, id timer) {
                               firings().push_back({ secondsOf(RunLoop::main().now()), timer });
                               if (firings().size() == 2)
                                   send<void>(timer, "invalidate");
                           })
                           .get();
    return cls;
}

class NSTimerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        firings().clear();
        RunLoop::main().resetForTesting();
        RunLoop::main().useVirtualClock(at(100.0));
    }
    void TearDown() override
    {
        RunLoop::main().resetForTesting();
        firings().clear();
    }
};

TEST_F(NSTimerTest, RepeatingTimerFiresEveryIntervalWithItselfUntilInvalidated)
{
    id target = class_createInstance(targetClass());
    auto timer = NSTimer::scheduledTimerWithTimeInterval(1.0, target, sel("tick:"), "info"_ns, true);
    RunLoop::main().advanceBy(Seconds(3.5));
    ASSERT_EQ(firings().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(firings()[i].time, 101.0 + static_cast<double>(i));
        EXPECT_TRUE(firings()[i].timer == timer);
    }
    EXPECT_TRUE(timer->isValid());
    EXPECT_DOUBLE_EQ(secondsOf(timer->fireTime().value()), 104.0);
    EXPECT_TRUE(isEqual(timer->userInfo(), "info"_ns));
    timer->invalidate();
    RunLoop::main().advanceBy(Seconds(5));
    EXPECT_EQ(firings().size(), 3u);
    EXPECT_FALSE(timer->isValid());
    EXPECT_FALSE(timer->userInfo());
}

TEST_F(NSTimerTest, OneShotTimerFiresOnceAndThenIsInvalid)
{
    id target = class_createInstance(targetClass());
    auto timer = NSTimer::scheduledTimerWithTimeInterval(2.0, target, sel("tick:"), nil, false);
    EXPECT_DOUBLE_EQ(timer->timeInterval(), 0);
    RunLoop::main().advanceBy(Seconds(1.9));
    EXPECT_TRUE(firings().empty());
    RunLoop::main().advanceBy(Seconds(10));
    ASSERT_EQ(firings().size(), 1u);
    EXPECT_DOUBLE_EQ(firings()[0].time, 102.0);
    EXPECT_FALSE(timer->isValid());
}

TEST_F(NSTimerTest, RunLoopHoldsTheTimerAndTheTimerHoldsItsTargetUntilInvalidated)
{
    long before;
    {
        id target = class_createInstance(targetClass());
        before = target->retainCount();
        // Made through the runtime, as the product does, without keeping the timer.
        send<id>(objc_getClass("NSTimer"), "scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:", 60.0, target,
            sel("stopAfterTwo:"), nil, true);
        EXPECT_GT(target->retainCount(), before);
    }
    RunLoop::main().advanceBy(Seconds(600));
    // The callback invalidated the timer at its second firing: no third firing.
    ASSERT_EQ(firings().size(), 2u);
    EXPECT_DOUBLE_EQ(firings()[1].time, 220.0);
    EXPECT_EQ(RunLoop::main().timerCount(), 0u);
    EXPECT_EQ(firings()[1].timer.as<NSTimer>()->isValid(), false);
}

TEST_F(NSTimerTest, MethodWithoutArgumentIsCalledWithoutTheTimer)
{
    id target = class_createInstance(targetClass());
    id timer = send<id>(objc_getClass("NSTimer"), "scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:", 1.0, target,
        sel("timerFired"), nil, true);
    RunLoop::main().advanceBy(Seconds(2));
    EXPECT_EQ(firings().size(), 2u);
    send<void>(timer, "invalidate");
    send<void>(timer, "invalidate"); // a second time does nothing
    EXPECT_FALSE(send<bool>(timer, "isValid"));
}

TEST_F(NSTimerTest, FireCallsNowAndEndsAOneShotTimer)
{
    id target = class_createInstance(targetClass());
    auto timer = NSTimer::scheduledTimerWithTimeInterval(5.0, target, sel("tick:"), nil, false);
    timer->fire();
    EXPECT_EQ(firings().size(), 1u);
    EXPECT_FALSE(timer->isValid());
    RunLoop::main().advanceBy(Seconds(10));
    EXPECT_EQ(firings().size(), 1u);
}

TEST_F(NSTimerTest, TheScheduledTimersAreTheValidOnesWithTheirTargetsAndSelectors)
{
    id target = class_createInstance(targetClass());
    auto repeating = NSTimer::scheduledTimerWithTimeInterval(1.0, target, sel("timerFired"), nil, true);
    auto oneShot = NSTimer::scheduledTimerWithTimeInterval(1.0, target, sel("tick:"), nil, false);
    auto scheduled = NSTimer::scheduledTimers();
    ASSERT_EQ(scheduled.size(), 2u);
    EXPECT_EQ(scheduled[0], repeating);
    EXPECT_EQ(scheduled[0]->target(), target);
    EXPECT_STREQ(sel_getName(scheduled[0]->selector()), "timerFired");
    RunLoop::main().advanceBy(Seconds(1.5));
    EXPECT_EQ(NSTimer::scheduledTimers(), std::vector<Id<NSTimer>> { repeating }) << "the one-shot timer has fired";
    repeating->invalidate();
    EXPECT_TRUE(NSTimer::scheduledTimers().empty());
}

} // namespace
