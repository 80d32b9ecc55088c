#pragma once
// NSProcessInfo: the process's arguments and the operating-system version.
//
// The arguments are the process's real argv, read from /proc/self/cmdline.
//
// The version is the simulated device's: "ProductVersion" of the device file
// "/System/Library/CoreServices/SystemVersion.plist" ("14.4", "13.7", "12.5.1"), read
// through the device root as on a device. It is read once per device root and kept.
// When the file is missing the version is 14.4.0 (a current device of the newest system
// the product serves); when the file is there but unreadable, or its "ProductVersion" is
// not of the form major[.minor[.patch]], or names a system the platform does not simulate
// (only iOS 12, 13 and 14 are: a SpringBoard of iOS 15 has no classes here), the same
// default is used and the fault is reported once on standard error, naming the file.
//
// Tests may override both (setArgumentsForTesting, setOperatingSystemVersionForTesting).

#include "NSObjectValues.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct NSOperatingSystemVersion {
    NSInteger majorVersion = 0;
    NSInteger minorVersion = 0;
    NSInteger patchVersion = 0;
    friend bool operator==(const NSOperatingSystemVersion&, const NSOperatingSystemVersion&) = default;
};

template<>
struct ObjCType<NSOperatingSystemVersion> {
    static constexpr const char* encoding = "{NSOperatingSystemVersion=qqq}";
};

inline constexpr NSOperatingSystemVersion kDefaultOperatingSystemVersion { 14, 4, 0 };
// The major versions the platform simulates.
inline constexpr NSInteger kOldestSimulatedMajorVersion = 12;
inline constexpr NSInteger kNewestSimulatedMajorVersion = 14;
inline constexpr const char* kSystemVersionPath = "/System/Library/CoreServices/SystemVersion.plist";

// "14.4" -> 14.4.0, "12.5.1" -> 12.5.1; nothing for text of another form.
std::optional<NSOperatingSystemVersion> parseOperatingSystemVersion(std::string_view text);

class NSProcessInfo : public objc_object {
public:
    NSProcessInfo();
    static Class cls();
    static Id<NSProcessInfo> processInfo();

    // NSArray of NSString: the executable's path as started, then its arguments.
    Id<NSArray> arguments() const;
    NSOperatingSystemVersion operatingSystemVersion() const;
    // Compares major, then minor, then patch.
    bool isOperatingSystemAtLeastVersion(NSOperatingSystemVersion version) const;

    // Overrides for tests; nothing returns to the real values.
    static void setArgumentsForTesting(std::optional<std::vector<std::string>> arguments);
    static void setOperatingSystemVersionForTesting(std::optional<NSOperatingSystemVersion> version);
};

void registerNSProcessInfoClass();
