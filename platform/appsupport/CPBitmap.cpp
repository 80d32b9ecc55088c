// Decoder and encoder of ".cpbitmap" wallpaper files. The layout is described at the top
// of CPBitmap.h; in short, all uint32 little-endian, at the end of the file:
//   current trailer (28 bytes): colourSpacePlistLength, infoPlistLength, width, height,
//                               format, imageCount, magic 0xDCB543A2; rows padded to 16 pixels
//   legacy trailer (24 bytes):  infoPlistLength, width, height, format, imageCount,
//                               magic 0xCBA43291; rows padded to 8 pixels
// preceded by the colour-space plist (current only), the info plist, and the images, each
// but the last padded to a 4096-byte boundary.
//
// The values in a trailer are untrusted: every size computed from them is checked for
// overflow and the file length must match exactly before a single pixel is read.

#include "CPBitmap.h"

#include <fmt/core.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <future>
#include <optional>
#include <stdexcept>

namespace {

constexpr size_t kImageAlignment = 4096;

struct TrailerLayout {
    size_t size;
    uint32_t magic;
    size_t rowAlignmentPixels;
    bool hasColourSpacePlist;
};

constexpr TrailerLayout kCurrentLayout { 28, kCPBitmapCurrentMagic, 16, true };
constexpr TrailerLayout kLegacyLayout { 24, kCPBitmapLegacyMagic, 8, false };

const TrailerLayout& layoutFor(CPBitmapTrailer trailer)
{
    return trailer == CPBitmapTrailer::current ? kCurrentLayout : kLegacyLayout;
}

struct Trailer {
    uint32_t colourSpacePlistLength = 0;
    uint32_t infoPlistLength = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t format = 0;
    uint32_t imageCount = 0;
};

// Where everything lies in a file with a given trailer.
struct Geometry {
    size_t bytesPerRow = 0; // padded
    size_t imageBytes = 0;
    size_t imageStride = 0; // from the start of one image to the next
    size_t pixelBytes = 0; // all images, the last unpadded
    size_t fileBytes = 0;
};

// A pixel's four bytes, B G R A in memory, loaded as one word: alpha in the top byte on
// a little-endian processor; swapped to that on a big-endian one (and back on storing).
uint32_t littleEndianPixel(uint32_t word)
{
    if constexpr (std::endian::native == std::endian::big)
        return __builtin_bswap32(word);
    return word;
}

uint32_t readLittleEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void writeLittleEndian32(uint8_t* p, uint32_t value)
{
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
    p[2] = uint8_t(value >> 16);
    p[3] = uint8_t(value >> 24);
}

// Checked arithmetic on size_t: false on overflow.
bool multiply(size_t a, size_t b, size_t& result) { return !__builtin_mul_overflow(a, b, &result); }
bool add(size_t a, size_t b, size_t& result) { return !__builtin_add_overflow(a, b, &result); }
bool roundUp(size_t value, size_t multiple, size_t& result)
{
    return add(value, multiple - 1, result) && (result -= result % multiple, true);
}

std::optional<Geometry> geometryOf(const Trailer& trailer, const TrailerLayout& layout)
{
    Geometry g;
    size_t paddedWidth = 0, lastImageStart = 0, plistBytes = 0, withPlists = 0;
    bool fits = roundUp(trailer.width, layout.rowAlignmentPixels, paddedWidth)
        && multiply(paddedWidth, Bitmap::bytesPerPixel, g.bytesPerRow)
        && multiply(g.bytesPerRow, trailer.height, g.imageBytes)
        && roundUp(g.imageBytes, kImageAlignment, g.imageStride)
        && multiply(g.imageStride, size_t(trailer.imageCount) - 1, lastImageStart)
        && add(lastImageStart, g.imageBytes, g.pixelBytes)
        && add(trailer.colourSpacePlistLength, trailer.infoPlistLength, plistBytes)
        && add(g.pixelBytes, plistBytes, withPlists)
        && add(withPlists, layout.size, g.fileBytes);
    if (!fits)
        return std::nullopt;
    return g;
}

const TrailerLayout* layoutForMagic(uint32_t magic)
{
    for (const TrailerLayout* layout : { &kCurrentLayout, &kLegacyLayout }) {
        if (magic == layout->magic)
            return layout;
    }
    return nullptr;
}

Trailer readTrailer(std::span<const uint8_t> data, const TrailerLayout& layout)
{
    const uint8_t* p = data.data() + data.size() - layout.size;
    Trailer trailer;
    if (layout.hasColourSpacePlist) {
        trailer.colourSpacePlistLength = readLittleEndian32(p);
        p += 4;
    }
    trailer.infoPlistLength = readLittleEndian32(p);
    trailer.width = readLittleEndian32(p + 4);
    trailer.height = readLittleEndian32(p + 8);
    trailer.format = readLittleEndian32(p + 12);
    trailer.imageCount = readLittleEndian32(p + 16);
    return trailer;
}

void writeTrailer(uint8_t* p, const Trailer& trailer, const TrailerLayout& layout)
{
    if (layout.hasColourSpacePlist) {
        writeLittleEndian32(p, trailer.colourSpacePlistLength);
        p += 4;
    }
    writeLittleEndian32(p, trailer.infoPlistLength);
    writeLittleEndian32(p + 4, trailer.width);
    writeLittleEndian32(p + 8, trailer.height);
    writeLittleEndian32(p + 12, trailer.format);
    writeLittleEndian32(p + 16, trailer.imageCount);
    writeLittleEndian32(p + 20, layout.magic);
}

// Why a trailer cannot describe this file, or empty when it does.
std::string faultOf(const Trailer& trailer, const std::optional<Geometry>& geometry, size_t fileBytes)
{
    if (trailer.format != uint32_t(CPBitmapPixelFormat::bgrx) && trailer.format != uint32_t(CPBitmapPixelFormat::premultipliedBGRA))
        return fmt::format("pixel format {} is not supported", trailer.format);
    if (auto fault = Bitmap::sizeFault(trailer.width, trailer.height); !fault.empty())
        return fault;
    if (trailer.imageCount == 0)
        return "the file holds no images";
    if (!geometry)
        return "the sizes in the trailer overflow";
    if (geometry->fileBytes != fileBytes)
        return fmt::format("the file is {} bytes, its trailer describes {}", fileBytes, geometry->fileBytes);
    return {};
}

// One row of format 0: the fourth byte becomes an opaque alpha.
void readOpaqueRow(const uint8_t* in, uint8_t* out, size_t pixels)
{
    for (size_t x = 0; x < pixels; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, in + x * 4, 4);
        pixel = littleEndianPixel(littleEndianPixel(pixel) | 0xFF000000u);
        std::memcpy(out + x * 4, &pixel, 4);
    }
}

// One row of format 1: colour above alpha is lowered to it. First each pixel's alpha is
// spread over its four bytes in `out`, then every byte is the smaller of the two: two
// loops the vectoriser runs 16 or 32 bytes at a time, where one loop over a pixel's
// bytes stays one byte at a time.
void readPremultipliedRow(const uint8_t* in, uint8_t* out, size_t pixels)
{
    for (size_t x = 0; x < pixels; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, in + x * 4, 4);
        uint32_t alphaInEveryByte = (littleEndianPixel(pixel) >> 24) * 0x01010101u;
        std::memcpy(out + x * 4, &alphaInEveryByte, 4);
    }
    for (size_t i = 0; i < pixels * 4; ++i)
        out[i] = std::min(in[i], out[i]);
}

// Rows [first, end) of one image, without their padding.
void readRows(const uint8_t* source, const Geometry& geometry, bool opaque, Bitmap& image, uint32_t first, uint32_t end)
{
    for (uint32_t y = first; y < end; ++y) {
        const uint8_t* in = source + y * geometry.bytesPerRow;
        if (opaque)
            readOpaqueRow(in, image.row(y), image.width);
        else
            readPremultipliedRow(in, image.row(y), image.width);
    }
}

// A wallpaper-sized image is read in two bands at once, the lower one on a thread of its
// own (murvex's save reads one on the way to its PNG copy); a smaller one is not worth a
// thread. When no thread can be started, the lower band is read after the upper one.
constexpr size_t kTwoBandImageBytes = size_t(4) << 20;

Bitmap readImage(const uint8_t* source, const Trailer& trailer, const Geometry& geometry)
{
    Bitmap image = Bitmap::transparent(trailer.width, trailer.height);
    bool opaque = trailer.format == uint32_t(CPBitmapPixelFormat::bgrx);
    uint32_t middle = image.pixels.size() >= kTwoBandImageBytes ? trailer.height / 2 : trailer.height;
    std::future<void> lowerBand;
    if (middle < trailer.height)
        lowerBand = std::async(std::launch::async | std::launch::deferred, [&] { readRows(source, geometry, opaque, image, middle, trailer.height); });
    readRows(source, geometry, opaque, image, 0, middle);
    if (lowerBand.valid())
        lowerBand.get();
    return image;
}

std::vector<Bitmap> reject(std::string* whyRejected, std::string reason)
{
    if (whyRejected)
        *whyRejected = "cpbitmap: " + std::move(reason);
    return {};
}

void requireEncodable(std::span<const Bitmap> images)
{
    if (images.empty())
        throw std::invalid_argument("encodeCPBitmap: no images");
    for (const Bitmap& image : images) {
        requireWellFormed(image, "encodeCPBitmap");
        if (image.width != images[0].width || image.height != images[0].height) {
            throw std::invalid_argument(fmt::format("encodeCPBitmap: images of different sizes ({}x{} and {}x{})",
                images[0].width, images[0].height, image.width, image.height));
        }
    }
}

} // namespace

std::vector<Bitmap> decodeCPBitmap(std::span<const uint8_t> data, std::string* whyRejected)
{
    if (data.size() < 4)
        return reject(whyRejected, fmt::format("{} bytes are too short for a trailer", data.size()));
    uint32_t magic = readLittleEndian32(data.data() + data.size() - 4);
    const TrailerLayout* layout = layoutForMagic(magic);
    if (!layout)
        return reject(whyRejected, fmt::format("unknown magic {:#010x}", magic));
    if (data.size() < layout->size)
        return reject(whyRejected, fmt::format("{} bytes are too short for a trailer of {}", data.size(), layout->size));
    Trailer trailer = readTrailer(data, *layout);
    std::optional<Geometry> geometry = geometryOf(trailer, *layout);
    if (std::string fault = faultOf(trailer, geometry, data.size()); !fault.empty())
        return reject(whyRejected, fault);

    std::vector<Bitmap> images;
    images.reserve(trailer.imageCount);
    for (uint32_t i = 0; i < trailer.imageCount; ++i)
        images.push_back(readImage(data.data() + i * geometry->imageStride, trailer, *geometry));
    return images;
}

std::vector<uint8_t> encodeCPBitmap(const Bitmap& image)
{
    return encodeCPBitmap(std::span<const Bitmap>(&image, 1));
}

std::vector<uint8_t> encodeCPBitmap(std::span<const Bitmap> images, CPBitmapTrailer trailerKind, CPBitmapPixelFormat format)
{
    requireEncodable(images);
    const TrailerLayout& layout = layoutFor(trailerKind);
    Trailer trailer;
    trailer.width = images[0].width;
    trailer.height = images[0].height;
    trailer.format = uint32_t(format);
    trailer.imageCount = uint32_t(images.size());
    std::optional<Geometry> geometry = geometryOf(trailer, layout);
    if (!geometry)
        throw std::invalid_argument("encodeCPBitmap: the file would be too large");

    std::vector<uint8_t> file(geometry->fileBytes, 0);
    for (size_t i = 0; i < images.size(); ++i) {
        uint8_t* imageStart = file.data() + i * geometry->imageStride;
        for (uint32_t y = 0; y < trailer.height; ++y) {
            uint8_t* out = imageStart + y * geometry->bytesPerRow;
            std::memcpy(out, images[i].row(y), images[i].bytesPerRow());
            if (format == CPBitmapPixelFormat::bgrx) {
                for (size_t x = 3; x < images[i].bytesPerRow(); x += 4)
                    out[x] = 0xFF;
            }
        }
    }
    writeTrailer(file.data() + file.size() - layout.size, trailer, layout);
    return file;
}
