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

// How far a PNG's chunks after the header are checked: that each lies whole in the file and
// IEND ends them (`layout`: reads only the chunks' headers), or their CRCs too (`checksums`:
// reads every byte; for a tool that takes in a picture to keep).
enum class PNGChunkCheck { layout, checksums };

// The header of PNG or JPEG bytes when the file's signature and header structures are
// sound and its size is one the decoders accept (Bitmap::isAcceptableSize); nothing, with
// the reason in *error, otherwise.
std::optional<ImageHeader> readImageHeader(std::span<const uint8_t> bytes, std::string* error = nullptr,
    PNGChunkCheck chunkCheck = PNGChunkCheck::checksums);
