#pragma once
// The in-memory picture every image piece of the platform hands around: BGRA, 4 bytes a
// pixel, premultiplied alpha (no colour byte exceeds its alpha byte), rows tight
// (bytesPerRow() == width * 4), top row first. Plain data, so that UIImage and friends can
// wrap it without copying pixels through the object runtime.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Limits on the pictures every reader accepts (PNG, JPEG, wallpaper bitmaps), in this one
// place. Sizes come from untrusted headers, and a few kilobytes of PNG can claim a
// gigabyte of pixels, so a picture is judged by its decoded size (width x height x 4)
// before anything is allocated: at most 32768 pixels a side and 128 MiB decoded (33.5
// million pixels), six times the largest iPad screen (2732 x 2048): no real wallpaper
// or avatar comes near it.
inline constexpr uint32_t kMaxImageSide = 32768;
inline constexpr uint64_t kMaxImageBytes = uint64_t(128) << 20;
inline constexpr uint64_t kMaxImagePixels = kMaxImageBytes / 4;

struct Bitmap {
    static constexpr size_t bytesPerPixel = 4;

    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;

    // A zero-filled (fully transparent) bitmap; the size must satisfy isAcceptableSize().
    static Bitmap transparent(uint32_t width, uint32_t height);

    // Non-zero sides within kMaxImageSide and kMaxImagePixels.
    static bool isAcceptableSize(uint64_t width, uint64_t height);
    // Why a picture of this size is refused (empty when it is acceptable), for the
    // readers' messages: the size, and for a large one its decoded size and the limit.
    static std::string sizeFault(uint64_t width, uint64_t height);

    size_t bytesPerRow() const { return size_t(width) * bytesPerPixel; }
    uint8_t* row(uint32_t y) { return pixels.data() + y * bytesPerRow(); }
    const uint8_t* row(uint32_t y) const { return pixels.data() + y * bytesPerRow(); }

    // Acceptable size and exactly width * height * 4 bytes of pixels.
    bool isWellFormed() const;
    // Why isWellFormed() is false (empty when it is true), for error messages.
    std::string malformation() const;
    // Every alpha byte is 255.
    bool isOpaque() const;

    bool operator==(const Bitmap&) const = default;
};

// The two conversions between straight and premultiplied alpha, used by every decoder and
// encoder so that a premultiplied pixel turned straight and back gives the same bytes:
//   premultiply:   c = round(s * a / 255)
//   unpremultiply: s = round(c * 255 / a), at most 255; a == 0 gives 0
// For every c <= a, premultiplyComponent(unpremultiplyComponent(c, a), a) == c.
inline uint8_t premultiplyComponent(uint8_t straight, uint8_t alpha)
{
    unsigned t = unsigned(straight) * alpha + 128;
    return uint8_t((t + (t >> 8)) >> 8);
}

inline uint8_t unpremultiplyComponent(uint8_t premultiplied, uint8_t alpha)
{
    if (alpha == 0)
        return 0;
    unsigned straight = (unsigned(premultiplied) * 510 + alpha) / (2u * alpha);
    return uint8_t(straight > 255 ? 255 : straight);
}

// Converts rows of straight-alpha pixels, in place, to premultiplied alpha. The colour
// bytes are the three bytes of each pixel other than the alpha byte at alphaIndex.
void premultiplyPixels(std::span<uint8_t> pixels, int alphaIndex);

// Throws std::invalid_argument naming the fault when the bitmap is not well formed; the
// encoders call it first, since a malformed bitmap is a programming error of the caller.
void requireWellFormed(const Bitmap& bitmap, const char* what);
