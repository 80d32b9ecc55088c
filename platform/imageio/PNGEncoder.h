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
// Speed comes from converting and filtering each row in tight loops, from deflating
// photos with igzip, and from using several cores: the rows are cut into bands, each
// filtered and deflated on a thread of its own, and the bands' deflate streams are joined
// into the one zlib stream a PNG holds (DeflatePart.h). The IDAT chunks are written here.

#include "Bitmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The PNG row filters. `adaptive` chooses per row the filter whose residuals have the
// smallest sum of absolute values (the usual PNG heuristic), among sub, up, average and
// paeth. `adaptiveWithoutAverage` is the choice among sub, up and paeth the encoder made
// before average was weighed too (3% larger files of photos), kept to compare with; it
// is also what PNGDeflater::bySample uses for pictures that are not photos.
enum class PNGRowFilter : uint8_t { none = 0, sub = 1, up = 2, average = 3, paeth = 4, adaptive = 255, adaptiveWithoutAverage = 254 };

// Which library deflates the rows.
enum class PNGDeflater : uint8_t {
    // At level 1, a sample of the filtered rows (a few stretches spread over the picture)
    // decides. Rows that pack like a photo's go to igzip, 2 to 6 times as fast as
    // libdeflate there and smaller. Rows that pack much tighter (flat colours, text,
    // gradients) go to libdeflate, whose files are then far smaller, filtered without
    // average, whose small residuals pack worse there than the other filters' repeats (an
    // `adaptive` choice becomes `adaptiveWithoutAverage`). At other levels: libdeflate,
    // with the filters asked.
    bySample,
    // libdeflate at every level, with the filters asked: what the encoder did before.
    libdeflate,
};

struct PNGEncodeOptions {
    // libdeflate level, 0 (stored) to 12, clamped to that range. Level 1 already packs
    // photos tighter than zlib at level 7 does, at several times its speed.
    int compressionLevel = 1;
    PNGRowFilter filter = PNGRowFilter::adaptive;
    // The rows are filtered and deflated in up to this many bands at once, each on a
    // thread of its own; 1 is one stream, on the calling thread. Two is what a phone's
    // performance cores and this machine have.
    unsigned parts = 2;
    // A picture is cut into no more bands than leave each at least this many bytes of
    // filtered rows: below that, a thread costs more than it saves. 0: no such limit.
    size_t minimumPartBytes = size_t(256) << 10;
    PNGDeflater deflater = PNGDeflater::bySample;
};

// Throws std::invalid_argument when the bitmap is not well formed.
std::vector<uint8_t> encodePNG(const Bitmap& bitmap, const PNGEncodeOptions& options = {});
