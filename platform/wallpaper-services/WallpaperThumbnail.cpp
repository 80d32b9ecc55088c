#include "WallpaperThumbnail.h"

#include <algorithm>

namespace {

uint32_t shrinkFactor(const Bitmap& wallpaper)
{
    uint32_t longest = std::max(wallpaper.width, wallpaper.height);
    return (longest + kWallpaperThumbnailSide - 1) / kWallpaperThumbnailSide;
}

// Averages the factor x factor block whose top-left pixel is (x0, y0), clipped to the
// picture, into four bytes at `out`.
void averageBlock(const Bitmap& source, uint32_t x0, uint32_t y0, uint32_t factor, uint8_t* out)
{
    uint32_t x1 = std::min(source.width, x0 + factor);
    uint32_t y1 = std::min(source.height, y0 + factor);
    uint64_t sums[4] = {};
    for (uint32_t y = y0; y < y1; ++y) {
        const uint8_t* pixel = source.row(y) + size_t(x0) * Bitmap::bytesPerPixel;
        for (uint32_t x = x0; x < x1; ++x, pixel += Bitmap::bytesPerPixel) {
            for (int channel = 0; channel < 4; ++channel)
                sums[channel] += pixel[channel];
        }
    }
    uint64_t count = uint64_t(x1 - x0) * (y1 - y0);
    for (int channel = 0; channel < 4; ++channel)
        out[channel] = uint8_t((sums[channel] + count / 2) / count);
}

} // namespace

Bitmap makeWallpaperThumbnail(const Bitmap& wallpaper)
{
    uint32_t factor = shrinkFactor(wallpaper);
    if (factor <= 1)
        return wallpaper;
    uint32_t width = (wallpaper.width + factor - 1) / factor;
    uint32_t height = (wallpaper.height + factor - 1) / factor;
    Bitmap thumbnail = Bitmap::transparent(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* out = thumbnail.row(y);
        for (uint32_t x = 0; x < width; ++x, out += Bitmap::bytesPerPixel)
            averageBlock(wallpaper, x * factor, y * factor, factor, out);
    }
    return thumbnail;
}
