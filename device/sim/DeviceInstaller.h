#pragma once
// `kavlor-sim init`: makes a device root. The folder tree of an iOS device as far as the
// product touches it, the programs and libraries at their device paths (copied from the
// build, so a device root stands on its own), the device's configuration, and a home
// screen with a few apps.

#include "DeviceError.h"
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

struct DeviceSpec {
    std::string iosVersion = "14.4";   // "12.5", "13.7", "14.4" (any 12.x to 14.x)
    std::string idiom = "phone";       // "phone" or "pad"
    std::string passcode = "123456";   // the device passcode the owner knows
    bool withTweak = true;             // false: SpringBoard runs without libKavlor.so
};

class InstallError : public DeviceError {
public:
    using DeviceError::DeviceError;
};

class DeviceInstaller {
public:
    // Checks the values a person typed; throws InstallError naming the bad one.
    static void validate(const DeviceSpec& spec);

    // Makes the device root at `root` (a host folder). An existing folder that is not
    // empty is refused unless `reinstall`: then the programs, libraries and configuration
    // are written again and everything else (settings, accounts, icon state) is kept.
    // Throws InstallError naming the file or value at fault.
    static void install(const std::filesystem::path& root, const DeviceSpec& spec, bool reinstall);

    // The folder `install` writes into, resolved; refuses, before anything is written, an
    // empty DIR, the machine's root folder, a file, and a folder with something in it
    // that is not a device (`reinstall` or not).
    static std::filesystem::path checkedRoot(const std::filesystem::path& root, bool reinstall);

    // One line per installed file, device path then what it is (for `init` to show).
    static std::vector<std::string> describe(const std::filesystem::path& root);

    // The screen of each idiom, in points.
    static double screenWidthFor(const std::string& idiom) { return idiom == "pad" ? 1024 : 375; }
    static double screenHeightFor(const std::string& idiom) { return idiom == "pad" ? 1366 : 812; }
};
