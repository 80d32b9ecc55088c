#pragma once
// Fast PNG encoding of a Bitmap.
//
// What is written: 8-bit RGB (colour type 2) when every pixel is opaque, otherwise 8-bit
// RGBA (colour type 6) with straight alpha; never interlaced; no ancillary chunks (no
// gamma or colour profile: the samples are the bitmap's sRGB bytes). Opaque pixels are
// written exactly; the others are un-premultiplied with unpremultiplyComponent()
// (Bitmap.h), so a reader that premultiplies with premultiplyComponent() gets the
// original bytes back, and a fully transparent pixel is written as 0,0,0,0.
//
// Speed comes from converting and filtering each row in tight loops and deflating the
// whole filtered image in one libdeflate call; the IDAT chunks are written here.

#include "Bitmap.h"

#include <cstdint>
#include <vector>

// The PNG row filters. `adaptive` chooses per row the filter whose residuals have the
// smallest sum of absolute values (the usual PNG heuristic), among sub, up and paeth.
enum class PNGRowFilter : uint8_t { none = 0, sub = 1, up = 2, average = 3, paeth = 4, adaptive = 255 };

struct PNGEncodeOptions {
    // libdeflate level, 0 (stored) to 12, clamped to that range. Level 1 already packs
    // photos tighter than zlib at level 7 does, at several times its speed.
    int compressionLevel = 1;
    PNGRowFilter filter = PNGRowFilter::adaptive;
};

// Throws std::invalid_argument when the bitmap is not well formed.
std::vector<uint8_t> encodePNG(const Bitmap& bitmap, const PNGEncodeOptions& options = {});
