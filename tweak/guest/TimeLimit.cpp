// The guest's time limit, counted down in the status bar; guest mode ends at zero.

#include "TimeLimit.h"

#include "CoreGraphics.h"
#include "HBPreferences.h"
#include "Hook.h"
#include "NSNotificationCenter.h"
#include "ProfileStore.h"
#include "SystemLog.h"

using namespace KavlorSchema;

id progress;
Id<NSTimer> timer;
std::int32_t currMinute;
std::int32_t currSeconds;

namespace {

constexpr double kTickSeconds = 1.0;
constexpr double kLabelWidth = 60;
constexpr double kLabelHeight = 40;
constexpr double kLabelTop = 30;
constexpr double kLabelFontSize = 20;
constexpr double kLabelCornerRadius = 5;

id classNamed(const char* name)
{
    return id(objc_getClass(name));
}

// Centred at the top of the main screen, black on white with rounded corners, and fully
// transparent.
id makeCountdownLabel()
{
    CGRect screen = send<CGRect>(send<id>(classNamed("UIScreen"), "mainScreen"), "bounds");
    CGRect frame = CGRectMake(screen.size.width * 0.5 - kLabelWidth / 2, kLabelTop, kLabelWidth, kLabelHeight);
    id label = send<id>(send<id>(classNamed("UILabel"), "alloc"), "initWithFrame:", frame);
    send(label, "setTextColor:", send<id>(classNamed("UIColor"), "blackColor"));
    send(label, "setFont:", send<id>(classNamed("UIFont"), "fontWithName:size:", id("Helvetica-Bold"_ns), kLabelFontSize));
    send(label, "setText:", id(""_ns));
    send(label, "setTextAlignment:", 1LL);
    send(label, "setBackgroundColor:", send<id>(classNamed("UIColor"), "whiteColor"));
    id layer = send<id>(label, "layer");
    send(layer, "setCornerRadius:", kLabelCornerRadius);
    send(layer, "setMasksToBounds:", true);
    send(label, "setAlpha:", 0.0);
    return label;
}

void showTime(std::int32_t minute, std::int32_t seconds)
{
    send(progress, "setText:", id(countdownText(minute, seconds)));
}

KAVLOR_HOOK(setStatusBar) = replace({ 32, HookGroup::Guest, "UIStatusBarWindow", "setStatusBar:" },
    [](const Previous<void(id)>& previous, id self, SEL _cmd, id statusBar) {
        previous(self, _cmd, statusBar);
        progress = makeCountdownLabel();
        send(self, "addSubview:", progress);
        crntUserData = fetchCrntUserData();
        isKavlorActive = mainSettings && mainSettings->boolForKey(Key::isKavlorActive);
        bool limitTime = recordToggle(crntUserData, Toggle::limitTime);
        auto limitedTime = crntUserData ? crntUserData->valueForKey<NSNumber>(RecordKey::limitedTime) : nullptr;
        currMinute = countdownStartMinutes(crntUserData);
        currSeconds = kCountdownStartSeconds;
        NSLog("aaaaaa setStatusBar timerState:-%@, isKavlorActive:-%d, isLimitedTime:-%d currMinute:-%d, currSeconds:-%d",
            limitedTime ? id(NSString::string(limitedTime->stringValue())) : nil, isKavlorActive ? 1 : 0, limitTime ? 1 : 0, currMinute,
            currSeconds);
        if (isKavlorActive && limitTime)
            send(self, "start");
    });

KAVLOR_HOOK(start) = add({ 33, HookGroup::Guest, "UIStatusBarWindow", "start" }, [](id self, SEL) {
    // A second start while a countdown runs would count the same seconds twice.
    if (timer)
        timer->invalidate();
    timer = NSTimer::scheduledTimerWithTimeInterval(kTickSeconds, self, sel_registerName("timerFired"), nil, true);
});

KAVLOR_HOOK(timerFired) = add({ 34, HookGroup::Guest, "UIStatusBarWindow", "timerFired" }, [](id, SEL) {
    CountdownTick tick = nextCountdownTick(currMinute, currSeconds);
    currMinute = tick.minute;
    currSeconds = tick.seconds;
    switch (tick.action) {
    case CountdownTick::Action::ShowTime:
        showTime(currMinute, currSeconds);
        return;
    case CountdownTick::Action::Silent:
        return;
    case CountdownTick::Action::End:
        send(progress, "setText:", id(""_ns));
        NSLog("aaaaa timers is zero lets exit focusMode");
        NSNotificationCenter::defaultCenter()->postNotificationName(NSString::string(kEndGuestModeNotification), nil, nil);
        if (timer)
            timer->invalidate();
        return;
    }
});

} // namespace

std::int32_t countdownStartMinutes(const Id<NSDictionary>& record)
{
    auto minutes = recordTimeLimitMinutes(record);
    return minutes ? static_cast<std::int32_t>(minutes->integerValue()) : 0;
}

Id<NSString> countdownText(std::int32_t minute, std::int32_t seconds)
{
    return stringWithFormat("%d%@%02d", minute, ":"_ns, seconds);
}

CountdownTick nextCountdownTick(std::int32_t minute, std::int32_t seconds)
{
    using Action = CountdownTick::Action;
    if (minute < 0 || (minute == 0 && seconds < 0))
        return { Action::End, minute, seconds };
    if (seconds == 0) {
        // The minute below 0 is the one silent second before the end.
        return { minute - 1 < 0 ? Action::Silent : Action::ShowTime, minute - 1, 59 };
    }
    if (seconds > 0)
        return { Action::ShowTime, minute, seconds - 1 };
    return { Action::Silent, minute, seconds };
}
