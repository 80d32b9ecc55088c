#include "PNGDecoder.h"

#include <fmt/core.h>
#include <spng.h>

#include <memory>

namespace {

// Ancillary chunks (text, profiles) larger than this are refused rather than buffered.
constexpr size_t kMaxChunkBytes = size_t(16) << 20;
constexpr size_t kMaxChunkCacheBytes = size_t(64) << 20;
// Deflate cannot expand data more than 1032 to 1: a file whose header claims more pixel
// data than that is cut short or hostile, and is refused before the pixels are allocated.
constexpr uint64_t kMaxDeflateRatio = 1032;

using SpngContext = std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)>;

std::optional<Bitmap> fail(std::string* error, std::string message)
{
    if (error)
        *error = std::move(message);
    return std::nullopt;
}

unsigned samplesPerPixel(uint8_t colourType)
{
    switch (colourType) {
    case SPNG_COLOR_TYPE_TRUECOLOR:
        return 3;
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
        return 2;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA:
        return 4;
    default:
        return 1;
    }
}

bool isPlausibleForFileSize(const spng_ihdr& header, size_t fileSize)
{
    uint64_t pixelBits = uint64_t(header.width) * header.height * samplesPerPixel(header.color_type) * header.bit_depth;
    return pixelBits / 8 <= kMaxDeflateRatio * uint64_t(fileSize);
}

// spng gives straight RGBA; the Bitmap wants premultiplied BGRA.
void convertRGBAToPremultipliedBGRA(std::vector<uint8_t>& pixels)
{
    for (size_t i = 0; i + 4 <= pixels.size(); i += 4)
        std::swap(pixels[i], pixels[i + 2]);
    premultiplyPixels(pixels, 3);
}

} // namespace

std::optional<Bitmap> decodePNG(std::span<const uint8_t> bytes, std::string* error)
{
    SpngContext context(spng_ctx_new(0), spng_ctx_free);
    if (!context)
        return fail(error, "PNG: out of memory");
    spng_set_image_limits(context.get(), kMaxImageSide, kMaxImageSide);
    spng_set_chunk_limits(context.get(), kMaxChunkBytes, kMaxChunkCacheBytes);
    spng_set_png_buffer(context.get(), bytes.data(), bytes.size());

    spng_ihdr header {};
    if (int status = spng_get_ihdr(context.get(), &header))
        return fail(error, fmt::format("PNG: {}", spng_strerror(status)));
    if (auto fault = Bitmap::sizeFault(header.width, header.height); !fault.empty())
        return fail(error, "PNG: " + fault);
    if (!isPlausibleForFileSize(header, bytes.size()))
        return fail(error, fmt::format("PNG: {}x{} pixels cannot come from {} bytes", header.width, header.height, bytes.size()));

    size_t decodedSize = 0;
    if (int status = spng_decoded_image_size(context.get(), SPNG_FMT_RGBA8, &decodedSize))
        return fail(error, fmt::format("PNG: {}", spng_strerror(status)));
    Bitmap bitmap;
    bitmap.width = header.width;
    bitmap.height = header.height;
    if (decodedSize != size_t(header.width) * header.height * Bitmap::bytesPerPixel)
        return fail(error, "PNG: unexpected decoded size");
    bitmap.pixels.resize(decodedSize);
    if (int status = spng_decode_image(context.get(), bitmap.pixels.data(), decodedSize, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS))
        return fail(error, fmt::format("PNG: {}", spng_strerror(status)));
    convertRGBAToPremultipliedBGRA(bitmap.pixels);
    return bitmap;
}
