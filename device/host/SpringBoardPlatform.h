#pragma once
// The platform side of the host: which iOS the device runs and what kind of device it is,
// the classes SpringBoard's binary brings for that version, SpringBoard's start-up
// sequence, and the control commands that act on SpringBoard's UI.

#include "NSProcessInfo.h"

#include <string>

class HostControl;

class SpringBoardPlatform {
public:
    // Reads the device's OS version (SystemVersion.plist) and configuration.
    static SpringBoardPlatform forThisDevice();

    int iosMajor() const { return static_cast<int>(m_version.majorVersion); }
    // "14.4", "12.5.1"
    std::string versionText() const;
    // "phone", "pad" or "legacy"
    std::string idiomName() const { return m_idiom; }

    // Registers the Foundation, UIKit and SpringBoard classes of this iOS version.
    void registerClasses();
    // SpringBoard's own start-up: finish launching, lock screen, status bar, icon model,
    // home screen appearing.
    void launch();
    void addControlCommands(HostControl& control);

private:
    NSOperatingSystemVersion m_version;
    std::string m_idiom = "phone";
};
