#pragma once
// The small picture SpringBoard keeps beside each wallpaper (…BackgroundThumbnail.jpg).

#include "Bitmap.h"

#include <cstdint>

// The longest side of a thumbnail, in pixels.
inline constexpr uint32_t kWallpaperThumbnailSide = 256;

// The wallpaper shrunk by a whole factor so that its longest side is at most
// kWallpaperThumbnailSide; each thumbnail pixel is the average of the block of pixels it
// covers (premultiplied, so transparent pixels do not darken their neighbours' colour).
// A wallpaper already that small is returned as it is.
Bitmap makeWallpaperThumbnail(const Bitmap& wallpaper);
