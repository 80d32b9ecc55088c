#pragma once
// The guest's time limit: when the status bar is set up in a guest's SpringBoard, a
// countdown label joins the status-bar window and a one-second timer on the main run loop
// counts the guest's minutes down; at the end "com.Quennic.Kavlor/endGuestMode" is posted.
// The label is fully transparent: the countdown runs unseen.

#include "NSObjectValues.h"
#include "NSTimer.h"

#include <cstdint>
#include <string>

// The countdown's globals, named as other code sees them.
extern id progress;            // the label made by the latest setStatusBar:
extern Id<NSTimer> timer;      // the timer made by the latest start
extern std::int32_t currMinute; // minutes left
extern std::int32_t currSeconds; // seconds left

// The countdown begins at the guest's minutes and 3 seconds.
inline constexpr std::int32_t kCountdownStartSeconds = 3;

// The minutes the record's "LimitedTime" chooses in timeLimitTable; 0 when it has none or
// chooses no entry.
std::int32_t countdownStartMinutes(const Id<NSDictionary>& record);

// "5:02", "0:07", "10:00": minutes unpadded, seconds always two digits.
Id<NSString> countdownText(std::int32_t minute, std::int32_t seconds);

// One second of the countdown, from the minutes and seconds left.
struct CountdownTick {
    enum class Action { ShowTime, Silent, End };
    Action action;
    std::int32_t minute; // left after this tick
    std::int32_t seconds;
    friend bool operator==(const CountdownTick&, const CountdownTick&) = default;
};
CountdownTick nextCountdownTick(std::int32_t minute, std::int32_t seconds);
