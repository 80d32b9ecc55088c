#pragma once
// The stand-ins for the device's wallpaper services and the jailbreak's library: where
// they live on the device, where they record what they were asked, and how a device root
// gets them.
//
// They are shared libraries that murvex loads with dlopen at the device paths below, as
// it does on a device. A device root has them once installWallpaperStandIns() has copied
// the built libraries there.

#include <string>

inline constexpr const char* kJailbreakLibraryPath = "/usr/lib/libjailbreak.dylib";
inline constexpr const char* kSpringBoardFoundationPath
    = "/System/Library/PrivateFrameworks/SpringBoardFoundation.framework/SpringBoardFoundation";
inline constexpr const char* kSpringBoardUIServicesPath
    = "/System/Library/PrivateFrameworks/SpringBoardUIServices.framework/SpringBoardUIServices";

// One JSON line per call of SBSUIWallpaperSetImages / SBSUIWallpaperSetImage.
inline constexpr const char* kWallpaperServicesLogPath = "/var/mobile/Library/Logs/wallpaper-services.jsonl";
// One JSON line when the jailbreak's library is loaded and one per call of its functions.
inline constexpr const char* kJailbreakLogPath = "/var/mobile/Library/Logs/libjailbreak.jsonl";

// Copies the three built stand-in libraries into the device root (a host folder) at their
// device paths, making the folders on the way. Throws std::runtime_error naming the file
// when a library is missing from the build or cannot be copied.
void installWallpaperStandIns(const std::string& deviceRoot);
