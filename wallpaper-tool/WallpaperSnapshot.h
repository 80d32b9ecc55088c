#pragma once
// murvex's wallpaper operations: the owner's wallpapers saved as PNG copies under
// "/Library/Kavlors/" and set again from them, and any image set as a wallpaper through
// SpringBoard's wallpaper services. Paths are device paths.

#include "Runtime.h"

#include <string>

// Where a wallpaper is set.
inline constexpr long long kWallpaperLocationLockScreen = 1;
inline constexpr long long kWallpaperLocationHomeScreen = 2;
inline constexpr long long kWallpaperLocationBoth = 3;

// Each test looks at the file system at the moment it is asked.
bool isLSWallSet(); // SpringBoard has a lock-screen wallpaper
bool isHSWallSet(); // SpringBoard has a home-screen wallpaper
bool isLSWall();    // a saved lock-screen copy exists
bool isHSWall();    // a saved home-screen copy exists

// "saveAdminWall": copies each wallpaper that is set to its PNG copy and removes the copy
// of each that is not.
void saveAdminWallpapers();
// "restoreAdminWall": sets the wallpapers from the saved copies; a single copy is set on
// both screens.
void restoreAdminWallpapers();

// Decodes SpringBoard's bitmap file at `source` and writes its first image as PNG to
// `destination`, atomically. Nothing is written when the source cannot be read or holds
// no image.
void saveWall(const std::string& source, const std::string& destination);

// Sets the image file at `path` (PNG or JPEG) as the wallpaper of `location` through
// SpringBoard's wallpaper services, with the convention of the running system (iOS 13
// and later: light and dark images and options). Skipped when the image cannot be
// loaded or the services' function cannot be found.
void setWall(const std::string& path, long long location);

// Sends a one-argument message whose argument is an integer to an object whose class
// was loaded at run time, through an NSInvocation built from the object's own method
// signature for the selector.
void performSelectorWithInteger(const id& target, SEL selector, long long value);
