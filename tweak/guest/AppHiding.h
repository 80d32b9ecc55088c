#pragma once
// A guest's disabled apps are put out of reach: the home screen's icon lists refuse their
// icons, and a process of one that SpringBoard asks about is told to end (Siri's view
// service too, for every guest). The decisions, apart from SpringBoard.

#include "NSObjectValues.h"

// Siri's view service, ended for every guest whether listed or not.
inline constexpr const char* kSiriViewService = "com.apple.SiriViewService";
// The program that ends a process by name, and is left to do so.
inline constexpr const char* kKillallPath = "/usr/bin/killall";

// Whether a process of this app is to be ended (the disabled list nil: nothing is listed).
bool processMustEnd(const Id<NSArray>& disabled, const id& bundleIdentifier);
// Whether an icon of this app is refused by the icon lists (no bundle identifier: never).
bool iconRefused(const Id<NSArray>& disabled, const id& applicationBundleID);
