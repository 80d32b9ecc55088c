#pragma once
// JPEG decoding and encoding (libjpeg-turbo).
//
// Decoding accepts baseline and progressive files in grey, YCbCr, RGB, CMYK and YCCK;
// the result is opaque BGRA. A file that ends early is decoded as far as it goes, the
// rest grey, as photo viewers do; a file with no image, a damaged header, more than
// kMaxJPEGScans scans or a size beyond the Bitmap limits gives nothing.
//
// Encoding writes a baseline YCbCr JPEG with 2x2 chroma subsampling. JPEG has no alpha:
// the premultiplied colour bytes are written as they are, which is the picture laid
// over black.

#include "Bitmap.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

inline constexpr int kMaxJPEGScans = 1000;

std::optional<Bitmap> decodeJPEG(std::span<const uint8_t> bytes, std::string* error = nullptr);

// quality 1 (smallest) to 100 (best), clamped to that range. Throws std::invalid_argument
// when the bitmap is not well formed.
std::vector<uint8_t> encodeJPEG(const Bitmap& bitmap, int quality);
