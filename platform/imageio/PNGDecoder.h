#pragma once
// PNG decoding into a Bitmap (libspng). Every colour type and bit depth is accepted:
// grey, palette and 16-bit images are converted to 8-bit BGRA, a tRNS chunk becomes
// alpha, and the result is premultiplied with premultiplyComponent() (Bitmap.h). Gamma
// and colour-profile chunks are ignored: samples are taken as sRGB bytes.

#include "Bitmap.h"

#include <optional>
#include <span>
#include <string>

// The decoded picture, or nothing with the reason in *error: not a PNG, a damaged or
// truncated file, or a size beyond kMaxImageSide / kMaxImagePixels.
std::optional<Bitmap> decodePNG(std::span<const uint8_t> bytes, std::string* error = nullptr);
