#pragma once
// UIScreen: the main screen, its bounds from the device configuration
// (DeviceConfiguration.h), read when the screen is first asked for in a process.

#include "CoreGraphics.h"
#include "ClassBuilder.h"

class UIScreen : public objc_object {
public:
    static void declare();
    static id mainScreen();
    // The main screen's bounds: origin zero, the configured size in points.
    static CGRect mainScreenBounds();

    CGRect bounds() const { return m_bounds; }
    double scale() const { return m_scale; }

private:
    CGRect m_bounds {};
    double m_scale { 2.0 };
};
