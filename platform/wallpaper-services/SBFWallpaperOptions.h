#pragma once
// SpringBoardFoundation's wallpaper options: how SpringBoard is to show a wallpaper. The
// stand-in keeps the one property murvex sets, the wallpaper mode (the appearance the
// wallpaper is for: 1 light, 2 dark; 0, the default, for any).
//
// The class is registered in the runtime as "SBFWallpaperOptions" when the
// SpringBoardFoundation library is loaded, as the framework's classes are on a device;
// callers find it with objc_getClass and speak to it with messages.

#include "ClassBuilder.h"

class SBFWallpaperOptions : public objc_object {
public:
    long long wallpaperMode() const { return m_wallpaperMode; }
    void setWallpaperMode(long long mode) { m_wallpaperMode = mode; }

private:
    long long m_wallpaperMode { 0 };
};
