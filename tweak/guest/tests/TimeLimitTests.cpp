#include "GuestSpringBoardTest.h"

#include "UIColor.h"
#include "UIFont.h"
#include "UILabel.h"

namespace {

using Strings = std::vector<std::string>;

TEST(CountdownText, MinutesUnpaddedSecondsTwoDigits)
{
    EXPECT_EQ(countdownText(5, 2)->utf8(), "5:02");
    EXPECT_EQ(countdownText(0, 7)->utf8(), "0:07");
    EXPECT_EQ(countdownText(3, 5)->utf8(), "3:05");
    EXPECT_EQ(countdownText(10, 0)->utf8(), "10:00");
    EXPECT_EQ(countdownText(0, 59)->utf8(), "0:59");
    EXPECT_EQ(countdownText(180, 3)->utf8(), "180:03");
}

TEST(NextCountdownTick, FromTheStartDownToASilentTickAndTheEnd)
{
    using Action = CountdownTick::Action;
    std::int32_t minute = 1, seconds = kCountdownStartSeconds;
    Strings shown;
    int ticks = 0;
    for (;;) {
        CountdownTick tick = nextCountdownTick(minute, seconds);
        ++ticks;
        minute = tick.minute;
        seconds = tick.seconds;
        if (tick.action == Action::End)
            break;
        shown.push_back(tick.action == Action::Silent ? "(silent)" : countdownText(minute, seconds)->utf8());
        ASSERT_LT(ticks, 100);
    }
    EXPECT_EQ(ticks, 60 * 1 + 5) << "the end comes 60 x minutes + 5 seconds after the start";
    ASSERT_EQ(shown.size(), 64u);
    EXPECT_EQ(Strings(shown.begin(), shown.begin() + 5), (Strings { "1:02", "1:01", "1:00", "0:59", "0:58" }));
    EXPECT_EQ(Strings(shown.end() - 3, shown.end()), (Strings { "0:01", "0:00", "(silent)" }));
}

class TimeLimitTest : public GuestSpringBoardTest {
protected:
    void SetUp() override
    {
        GuestSpringBoardTest::SetUp();
        secondInitialiser();
    }

    void guestWith(std::vector<std::pair<std::string, id>> fields)
    {
        writeUsers({ { "Noah", guestRecord("Noah", std::move(fields)) } });
        activateGuest("Noah");
    }

    static id limitOn() { return NSDictionary::dictionary({ { limitTime, NSNumber::numberWithBool(true) } }); }

    std::string labelText() const { return UIKitSupport::stringValue(send<id>(progress, "text")); }

    // Seconds on the virtual clock, one at a time, noting the text after each.
    Strings tick(int seconds)
    {
        Strings texts;
        for (int i = 0; i < seconds; ++i) {
            RunLoop::main().advanceBy(Seconds(1));
            texts.push_back(labelText());
        }
        return texts;
    }

    std::vector<std::string> m_endObservations;

    void watchTheEnd()
    {
        NSNotificationCenter::defaultCenter()->addObserverForName(NSString::string(kEndGuestModeNotification), nil, nil,
            makeBlock<void(id)>([this](id) {
                m_endObservations.push_back(fmt::format("text \"{}\", timer {}", labelText(), timer && timer->isValid() ? "valid" : "invalid"));
            }));
    }

    static int countdownTimers()
    {
        int count = 0;
        for (const auto& scheduled : NSTimer::scheduledTimers())
            count += std::string(sel_getName(scheduled->selector())) == "timerFired" ? 1 : 0;
        return count;
    }
};

TEST_F(TimeLimitTest, TheLabelSitsCentredAtTheTopOfTheStatusBarWindowFullyTransparent)
{
    guestWith({ { "toggleData", limitOn() }, { "LimitedTime", NSNumber::numberWithInteger(0) } });
    SpringBoardApp& app = launch(14);
    ASSERT_TRUE(progress);
    auto label = progress.as<UILabel>();
    ASSERT_TRUE(label);
    EXPECT_EQ(send<id>(progress, "superview"), app.statusBarWindow());
    CGRect frame = send<CGRect>(progress, "frame");
    CGRect screen = send<CGRect>(send<id>(id(objc_getClass("UIScreen")), "mainScreen"), "bounds");
    EXPECT_DOUBLE_EQ(frame.origin.x, screen.size.width * 0.5 - 30);
    EXPECT_DOUBLE_EQ(frame.origin.y, 30);
    EXPECT_DOUBLE_EQ(frame.size.width, 60);
    EXPECT_DOUBLE_EQ(frame.size.height, 40);
    EXPECT_TRUE(send<bool>(label->textColor(), "isEqual:", send<id>(id(objc_getClass("UIColor")), "blackColor")));
    EXPECT_TRUE(send<bool>(send<id>(progress, "backgroundColor"), "isEqual:", send<id>(id(objc_getClass("UIColor")), "whiteColor")));
    EXPECT_EQ(label->font().as<UIFont>()->fontName(), "Helvetica-Bold");
    EXPECT_DOUBLE_EQ(label->font().as<UIFont>()->pointSize(), 20);
    EXPECT_EQ(labelText(), "");
    EXPECT_EQ(label->textAlignment(), NSTextAlignmentCenter);
    id layer = send<id>(progress, "layer");
    EXPECT_DOUBLE_EQ(send<double>(layer, "cornerRadius"), 5);
    EXPECT_TRUE(send<bool>(layer, "masksToBounds"));
    EXPECT_DOUBLE_EQ(send<double>(progress, "alpha"), 0.0) << "the countdown runs unseen";
}

TEST_F(TimeLimitTest, FiveMinutesCountDownOncePerSecondAndEndGuestModeAfter305Seconds)
{
    guestWith({ { "toggleData", limitOn() }, { "LimitedTime", NSNumber::numberWithInteger(0) } });
    SystemLog::Capture log;
    launch(14);
    EXPECT_NE(std::find(log.lines().begin(), log.lines().end(),
                  "aaaaaa setStatusBar timerState:-0, isKavlorActive:-1, isLimitedTime:-1 currMinute:-5, currSeconds:-3"),
        log.lines().end());
    watchTheEnd();
    EXPECT_EQ(tick(5), (Strings { "5:02", "5:01", "5:00", "4:59", "4:58" }));
    Strings rest = tick(298);
    EXPECT_EQ(rest[54], "4:03") << "a minute after the start";
    EXPECT_EQ(rest.back(), "0:00");
    EXPECT_TRUE(m_endObservations.empty());
    EXPECT_EQ(tick(1), Strings { "0:00" }) << "the tick after 0:00 is silent";
    EXPECT_EQ(respringCount(), 0);
    log.clear();
    EXPECT_EQ(tick(1), Strings { "" });
    // The text is emptied first, then the end is posted while the timer still runs, then
    // the timer stops.
    EXPECT_EQ(m_endObservations, Strings { "text \"\", timer valid" });
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(log.lines().front(), "aaaaa timers is zero lets exit focusMode");
    // The end handler made the owner active again and resprang.
    EXPECT_EQ(respringCount(), 1);
    EXPECT_TRUE(isEqual(mainSettings->objectForKey(Key::activeUser), "Admin"_ns));
    EXPECT_FALSE(mainSettings->boolForKey(Key::isKavlorActive));
    tick(10);
    EXPECT_EQ(m_endObservations.size(), 1u);
}

TEST_F(TimeLimitTest, AMissingOrUnknownLimitEndsAfterFiveSeconds)
{
    for (id limitedTime : { id(), id(NSNumber::numberWithInteger(7)), id(NSNumber::numberWithInteger(-1)) }) {
        std::vector<std::pair<std::string, id>> fields { { "toggleData", limitOn() } };
        if (limitedTime)
            fields.emplace_back("LimitedTime", limitedTime);
        guestWith(fields);
        m_endObservations.clear();
        NSNotificationCenter::defaultCenter()->resetForTesting();
        forgetGuestModeHandlersForTesting();
        launch(13);
        watchTheEnd();
        EXPECT_EQ(tick(4), (Strings { "0:02", "0:01", "0:00", "0:00" }));
        EXPECT_TRUE(m_endObservations.empty());
        tick(1);
        EXPECT_EQ(m_endObservations.size(), 1u);
    }
}

TEST_F(TimeLimitTest, WithoutTheToggleNoTimerRunsButTheStartValuesAreSetAndLogged)
{
    guestWith({ { "LimitedTime", NSNumber::numberWithInteger(2) } });
    SystemLog::Capture log;
    launch(14);
    EXPECT_EQ(countdownTimers(), 0);
    EXPECT_EQ(currMinute, 30);
    EXPECT_EQ(currSeconds, 3);
    Strings lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                  "aaaaaa setStatusBar timerState:-2, isKavlorActive:-1, isLimitedTime:-0 currMinute:-30, currSeconds:-3"),
        lines.end());
    tick(3);
    EXPECT_EQ(labelText(), "");
}

TEST_F(TimeLimitTest, GuestModeSwitchedOffSinceLoadStartsNoTimer)
{
    guestWith({ { "toggleData", limitOn() } });
    SpringBoardApp& app = launch(14);
    timer->invalidate();
    mainSettings->setBool(false, Key::isKavlorActive);
    SystemLog::Capture log;
    send(app.statusBarWindow(), "setStatusBar:", UIKitSupport::allocInitWithFrame("UIStatusBar", CGRectZero));
    EXPECT_FALSE(isKavlorActive) << "read anew from the settings";
    EXPECT_EQ(countdownTimers(), 0);
    EXPECT_EQ(log.lines().back(), "aaaaaa setStatusBar timerState:-(null), isKavlorActive:-0, isLimitedTime:-1 currMinute:-0, currSeconds:-3");
}

TEST_F(TimeLimitTest, ASecondStartStopsTheFirstTimerSoTheCountdownKeepsItsPace)
{
    guestWith({ { "toggleData", limitOn() }, { "LimitedTime", NSNumber::numberWithInteger(1) } });
    SpringBoardApp& app = launch(14);
    tick(2);
    send(app.statusBarWindow(), "start");
    EXPECT_EQ(countdownTimers(), 1);
    EXPECT_EQ(tick(3), (Strings { "10:00", "9:59", "9:58" })) << "one step per second";
}

} // namespace
