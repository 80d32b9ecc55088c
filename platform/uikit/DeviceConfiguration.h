#pragma once
// What the simulated device is: written by the simulator as a property list in the device
// root at "/var/mobile/Library/kavlor-device.plist" (DeviceConfiguration::path), a
// dictionary with these keys, each optional:
//
//   "idiom"         string, "phone", "pad" or "legacy"             default "phone"
//                   ("legacy": a phone whose UIDevice predates userInterfaceIdiom and
//                   does not answer it)
//   "screenWidth"   number, the main screen's width in points       default 375 (pad 1024)
//   "screenHeight"  number, the main screen's height in points     default 812 (pad 1366)
//   "passcode"      string, the device passcode that unlocks the   default none: the device
//                   lock screen                                    has no passcode
//
// UIDevice (userInterfaceIdiom) and UIScreen (bounds) read it when first asked in a
// process; SBLockScreenManager reads the passcode at every unlock attempt. A missing file
// gives the defaults. A file that is not a dictionary, or a key of the wrong type or
// value, is reported (standard error and the Trace event "device-configuration-error"
// {path, problem}) and that value takes its default; nothing else is lost.
//
// The operating-system version is not here: NSProcessInfo reads it from
// "/System/Library/CoreServices/SystemVersion.plist".

#include <optional>
#include <string>
#include <vector>

struct DeviceConfiguration {
    enum class Idiom : long long { Phone = 0, Pad = 1, Legacy = 2 };

    static constexpr const char* path = "/var/mobile/Library/kavlor-device.plist";

    Idiom idiom { Idiom::Phone };
    double screenWidth { 375 };
    double screenHeight { 812 };
    std::optional<std::string> passcode;
    // What was wrong with the file, one line each (already reported).
    std::vector<std::string> problems;

    // Reads the file now.
    static DeviceConfiguration load();
};
