#pragma once
// Pictures for the image tests, all deterministic.

#include "Bitmap.h"

#include <cstdint>
#include <random>

namespace testimages {

// Independent noise in every byte: exercises every filter and every code path of the
// deflate stream. Alpha is 255 when `opaque`, otherwise random with colour <= alpha and
// some pixels fully transparent.
inline Bitmap noise(uint32_t width, uint32_t height, bool opaque, uint32_t seed = 1)
{
    std::mt19937 random(seed);
    Bitmap bitmap = Bitmap::transparent(width, height);
    for (size_t i = 0; i < bitmap.pixels.size(); i += 4) {
        uint8_t alpha = opaque ? 255 : uint8_t(random() % 5 == 0 ? 0 : random());
        for (int c = 0; c < 3; ++c)
            bitmap.pixels[i + c] = uint8_t(random() % (alpha + 1u));
        bitmap.pixels[i + 3] = alpha;
    }
    return bitmap;
}

// Smooth opaque gradients, as in a photo's sky: what a JPEG keeps well.
inline Bitmap gradient(uint32_t width, uint32_t height)
{
    Bitmap bitmap = Bitmap::transparent(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = bitmap.row(y) + x * 4;
            p[0] = uint8_t(40 + 150 * x / width);
            p[1] = uint8_t(60 + 120 * y / height);
            p[2] = uint8_t(200 - 100 * (x + y) / (width + height));
            p[3] = 255;
        }
    }
    return bitmap;
}

} // namespace testimages
