#pragma once
// What a picture's header says, read without decoding its pixels: for a tool that must
// refuse what a decoder would refuse (not PNG or JPEG, a damaged header, a size beyond
// the decoders' limits) but need not pay for a whole decode to learn it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "ImageDecoder.h"

struct ImageHeader {
    ImageFormat format { ImageFormat::unknown };
    uint32_t width { 0 };
    uint32_t height { 0 };
};

// The header of PNG or JPEG bytes when the file's signature and header structures are
// sound and its size is one the decoders accept (Bitmap::isAcceptableSize); nothing, with
// the reason in *error, otherwise.
std::optional<ImageHeader> readImageHeader(std::span<const uint8_t> bytes, std::string* error = nullptr);
