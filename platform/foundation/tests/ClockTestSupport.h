#pragma once
// Moments of a test's clock written as seconds since its epoch.

#include "Clock.h"

inline ClockTime at(double seconds) { return ClockTime(Seconds(seconds)); }
inline double secondsOf(ClockTime time) { return time.time_since_epoch().count(); }
