#include "ImageHeader.h"

#include <fmt/core.h>
#include <spng.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <libdeflate.h>
#include <memory>

namespace {

std::optional<ImageHeader> fail(std::string* error, std::string message)
{
    if (error)
        *error = std::move(message);
    return std::nullopt;
}

uint32_t bigEndian32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

// What is wrong with the chunks after the signature, or null: each must lie whole within
// the file (with a matching CRC when asked), some must hold image data, and the last must
// be IEND. A file cut short fails here, as its decode would, without an inflate.
const char* chunkDamage(std::span<const uint8_t> bytes, PNGChunkCheck check)
{
    constexpr size_t kSignatureBytes = 8;
    bool sawImageData = false;
    for (size_t at = kSignatureBytes; at + 12 <= bytes.size();) {
        size_t length = bigEndian32(&bytes[at]);
        if (length > bytes.size() - at - 12)
            return "the file is cut short";
        const uint8_t* type = &bytes[at + 4];
        if (check == PNGChunkCheck::checksums && libdeflate_crc32(0, type, 4 + length) != bigEndian32(type + 4 + length))
            return "a chunk's CRC does not match";
        if (std::equal(type, type + 4, "IDAT"))
            sawImageData = true;
        if (std::equal(type, type + 4, "IEND"))
            return sawImageData ? nullptr : "no image data";
        at += 12 + length;
    }
    return "the file is cut short";
}

// spng checks the signature, the IHDR chunk's CRC and every field's value.
std::optional<ImageHeader> readPNGHeader(std::span<const uint8_t> bytes, std::string* error, PNGChunkCheck chunkCheck)
{
    std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> context(spng_ctx_new(0), spng_ctx_free);
    if (!context)
        return fail(error, "PNG: out of memory");
    spng_set_image_limits(context.get(), kMaxImageSide, kMaxImageSide);
    spng_set_png_buffer(context.get(), bytes.data(), bytes.size());
    spng_ihdr header {};
    if (int status = spng_get_ihdr(context.get(), &header))
        return fail(error, fmt::format("PNG: {}", spng_strerror(status)));
    if (auto damage = chunkDamage(bytes, chunkCheck))
        return fail(error, fmt::format("PNG: {}", damage));
    return ImageHeader { ImageFormat::png, header.width, header.height };
}

struct JPEGErrors {
    jpeg_error_mgr library; // first, so that the library's pointer converts back
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jumpOnJPEGError(j_common_ptr info)
{
    auto* errors = reinterpret_cast<JPEGErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void ignoreJPEGMessage(j_common_ptr, int) { }

// libjpeg reads the markers up to the first scan: the frame, its tables and components.
// Everything the jump may skip lives in the caller.
bool readJPEGMarkers(jpeg_decompress_struct& info, JPEGErrors& errors, std::span<const uint8_t> bytes)
{
    info.err = jpeg_std_error(&errors.library);
    errors.library.error_exit = jumpOnJPEGError;
    errors.library.emit_message = ignoreJPEGMessage;
    errors.message[0] = '\0';
    if (setjmp(errors.jump))
        return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    return jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK;
}

std::optional<ImageHeader> readJPEGHeader(std::span<const uint8_t> bytes, std::string* error)
{
    jpeg_decompress_struct info {};
    JPEGErrors errors {};
    bool read = readJPEGMarkers(info, errors, bytes);
    ImageHeader header { ImageFormat::jpeg, info.image_width, info.image_height };
    std::string message = errors.message;
    jpeg_destroy_decompress(&info);
    if (!read)
        return fail(error, fmt::format("JPEG: {}", message.empty() ? "no image in the file" : message));
    return header;
}

} // namespace

std::optional<ImageHeader> readImageHeader(std::span<const uint8_t> bytes, std::string* error, PNGChunkCheck chunkCheck)
{
    std::optional<ImageHeader> header;
    switch (sniffImageFormat(bytes)) {
    case ImageFormat::png:
        header = readPNGHeader(bytes, error, chunkCheck);
        break;
    case ImageFormat::jpeg:
        header = readJPEGHeader(bytes, error);
        break;
    case ImageFormat::unknown:
        return fail(error, bytes.empty() ? "no data" : "not a PNG or JPEG image"); // as decodeImage says
    }
    if (header && !Bitmap::isAcceptableSize(header->width, header->height))
        return fail(error, fmt::format("size {}x{} is beyond the limits", header->width, header->height));
    return header;
}
