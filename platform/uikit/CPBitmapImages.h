#pragma once
// AppSupport's CPBitmapCreateImagesFromData: the images of a SpringBoard bitmap file
// (".cpbitmap", see CPBitmap.h) as CGImages, the form in which a program takes a wallpaper
// out of SpringBoard's files.

#include "CGImage.h"
#include "NSObjectValues.h"

// An NSArray of CGImage, first image first. An empty array for data that is not a valid
// bitmap file; nil for nil data. The other arguments are taken for the device's
// signature's sake and not used: the colour-space out-parameter, a flags value (the
// callers pass 1) and the info-dictionary out-parameter.
Id<NSArray> CPBitmapCreateImagesFromData(const Id<NSData>& data, void* colorSpace, int flags, void* info);
