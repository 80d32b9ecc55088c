#pragma once
// SpringBoard's wallpaper bitmap files (".cpbitmap"): the decoder that
// CPBitmapCreateImagesFromData stands for, and the encoder the stand-in wallpaper
// services write them with.
//
// Layout (every integer a uint32, little-endian; the trailer sits at the very end):
//
//   image 0 | zeros up to a 4096-byte boundary | image 1 | ... | image n-1 (unpadded)
//   | colour-space plist | info plist | trailer
//
//   trailer, current (28 bytes): colourSpacePlistLength, infoPlistLength, width, height,
//                                format, imageCount, magic 0xDCB543A2
//   trailer, legacy (24 bytes):  infoPlistLength, width, height, format, imageCount,
//                                magic 0xCBA43291
//
// The magic (the last four bytes) tells the trailer. Every image has the trailer's width
// and height and 4 bytes a pixel; each row is padded with zeros to a multiple of 16 pixels
// (current) or 8 pixels (legacy). Format 0 is BGRX (the fourth byte is ignored, pixels are
// opaque), format 1 premultiplied BGRA. The plists are carried, not interpreted; either may
// be empty. The file's length must be exactly what the trailer describes.

#include "Bitmap.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum class CPBitmapTrailer { current, legacy };
enum class CPBitmapPixelFormat : uint32_t { bgrx = 0, premultipliedBGRA = 1 };

inline constexpr uint32_t kCPBitmapCurrentMagic = 0xDCB543A2;
inline constexpr uint32_t kCPBitmapLegacyMagic = 0xCBA43291;

// All the images of a file, first to last. Any fault (unknown magic or format, zero or
// oversized dimensions, sizes that overflow, a length other than the trailer describes,
// no images) gives an empty list and the reason in *whyRejected; nothing is read outside
// `data`. Colour bytes above their alpha (not valid premultiplied data) are lowered to it.
std::vector<Bitmap> decodeCPBitmap(std::span<const uint8_t> data, std::string* whyRejected = nullptr);

// One image, current trailer, premultiplied BGRA, empty plists.
std::vector<uint8_t> encodeCPBitmap(const Bitmap& image);

// Several images of one size. With CPBitmapPixelFormat::bgrx the alpha bytes are written
// as 0xFF, so a translucent image reads back as laid over black. Throws
// std::invalid_argument for no images, a malformed bitmap or images of different sizes.
std::vector<uint8_t> encodeCPBitmap(std::span<const Bitmap> images, CPBitmapTrailer trailer = CPBitmapTrailer::current,
    CPBitmapPixelFormat format = CPBitmapPixelFormat::premultipliedBGRA);
