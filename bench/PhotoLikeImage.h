#pragma once
// A synthetic picture with the statistics of a photo, for benchmarks of the image paths:
// a sky with smooth gradients and soft clouds, a sun with a glow, textured ground, hard
// edged buildings with lit windows and a road, and per-channel sensor-like noise over
// everything. Opaque, like a wallpaper. The same size and seed always give the same bytes,
// so figures from different runs and machines compare.

#include "Bitmap.h"

#include <cstdint>

Bitmap makePhotoLikeBitmap(uint32_t width, uint32_t height, uint64_t seed = 0x4B61766C6F72ULL);
