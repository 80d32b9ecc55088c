#include "Bitmap.h"

#include <cstring>

#include <fmt/core.h>

#include <stdexcept>

Bitmap Bitmap::transparent(uint32_t width, uint32_t height)
{
    if (!isAcceptableSize(width, height))
        throw std::invalid_argument(fmt::format("Bitmap: unacceptable size {}x{}", width, height));
    Bitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.pixels.assign(size_t(width) * height * bytesPerPixel, 0);
    return bitmap;
}

bool Bitmap::isAcceptableSize(uint64_t width, uint64_t height)
{
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide
        && width * height <= kMaxImagePixels;
}

std::string Bitmap::sizeFault(uint64_t width, uint64_t height)
{
    if (isAcceptableSize(width, height))
        return {};
    if (width == 0 || height == 0)
        return fmt::format("size {}x{} is zero", width, height);
    if (width > kMaxImageSide || height > kMaxImageSide)
        return fmt::format("size {}x{} is beyond the limits (at most {} pixels a side)", width, height, kMaxImageSide);
    return fmt::format("size {}x{} is beyond the limits: it decodes to {} bytes, more than the {} MiB a picture may take",
        width, height, width * height * bytesPerPixel, kMaxImageBytes >> 20);
}

bool Bitmap::isWellFormed() const
{
    return malformation().empty();
}

std::string Bitmap::malformation() const
{
    if (auto fault = sizeFault(width, height); !fault.empty())
        return fault;
    size_t expected = size_t(width) * height * bytesPerPixel;
    if (pixels.size() != expected)
        return fmt::format("{}x{} needs {} bytes of pixels, has {}", width, height, expected, pixels.size());
    return {};
}

bool Bitmap::isOpaque() const
{
    // Accumulate with AND instead of returning early: the loop vectorises and the common
    // case (an opaque photo) reads everything anyway. Whole pixels are ANDed as words (a
    // byte every four does not vectorise); the alpha byte of the result decides.
    uint32_t all = 0xFFFFFFFFu;
    const uint8_t* p = pixels.data();
    for (size_t i = 0; i + bytesPerPixel <= pixels.size(); i += bytesPerPixel) {
        uint32_t pixel;
        std::memcpy(&pixel, p + i, sizeof pixel);
        all &= pixel;
    }
    uint8_t bytes[sizeof all];
    std::memcpy(bytes, &all, sizeof all);
    return bytes[3] == 0xFF;
}

void premultiplyPixels(std::span<uint8_t> pixels, int alphaIndex)
{
    for (size_t i = 0; i + Bitmap::bytesPerPixel <= pixels.size(); i += Bitmap::bytesPerPixel) {
        uint8_t alpha = pixels[i + alphaIndex];
        if (alpha == 255)
            continue;
        for (int c = 0; c < 4; ++c) {
            if (c != alphaIndex)
                pixels[i + c] = premultiplyComponent(pixels[i + c], alpha);
        }
    }
}

void requireWellFormed(const Bitmap& bitmap, const char* what)
{
    std::string fault = bitmap.malformation();
    if (!fault.empty())
        throw std::invalid_argument(fmt::format("{}: malformed bitmap: {}", what, fault));
}
