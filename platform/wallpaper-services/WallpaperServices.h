#pragma once
// The functions of the SpringBoardUIServices stand-in, with C linkage, as a program finds
// them with dlsym. Objects are passed as plain object pointers, as Objective-C does.
//
// location: 1 the lock screen, 2 the home screen, 3 both.

#include "Object.h"

extern "C" {

// imagesByAppearance and optionsByAppearance: NSDictionary with the keys "light" and
// "dark", to a UIImage and an SBFWallpaperOptions. style: the user-interface style the
// caller is in.
void SBSUIWallpaperSetImages(objc_object* imagesByAppearance, objc_object* optionsByAppearance, long long location, long long style);
// image: a UIImage; options: an SBFWallpaperOptions.
void SBSUIWallpaperSetImage(objc_object* image, objc_object* options, long long location);

using SBSUIWallpaperSetImagesFunction = void (*)(objc_object*, objc_object*, long long, long long);
using SBSUIWallpaperSetImageFunction = void (*)(objc_object*, objc_object*, long long);

} // extern "C"
