#include "JPEGCodec.h"

#include <fmt/core.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

// libjpeg reports fatal errors by calling error_exit, which must not return. It jumps
// back with longjmp to the setjmp of the function that called into the library. Those
// functions (marked "jump target" below) hold no object with a destructor, so the jump
// skips no clean-up; everything they fill lives in their caller.

namespace {

// A generous cap on libjpeg's own working memory (progressive coefficient buffers).
constexpr long kMaxLibraryMemory = 1L << 30;
// A Huffman-coded JPEG spends at least one bit on every 8x8 block of its first component,
// so it holds at least one byte per 512 pixels. A file far shorter than its header claims
// is refused before the pixels are allocated (one that is merely cut short still decodes).
constexpr uint64_t kMaxPixelsPerHuffmanByte = 512;

struct ErrorHandler {
    jpeg_error_mgr library; // first, so that the library's pointer converts back
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jumpOnError(j_common_ptr info)
{
    auto* handler = reinterpret_cast<ErrorHandler*>(info->err);
    (*info->err->format_message)(info, handler->message);
    std::longjmp(handler->jump, 1);
}

// Warnings (a file that ends early, extraneous bytes) are tolerated and kept quiet: the
// library's default prints them on standard error.
void ignoreMessage(j_common_ptr, int) { }

void installErrorHandler(j_common_ptr info, ErrorHandler& handler)
{
    info->err = jpeg_std_error(&handler.library);
    handler.library.error_exit = jumpOnError;
    handler.library.emit_message = ignoreMessage;
    handler.message[0] = '\0';
}

// A progressive file can hold any number of scans, each one a pass over the whole
// image; a crafted file with a great many of them takes minutes to decode.
struct ScanLimit {
    jpeg_progress_mgr library;
    ErrorHandler* errors;
};

void checkScanCount(j_common_ptr info)
{
    auto* limit = reinterpret_cast<ScanLimit*>(info->progress);
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMaxJPEGScans) {
        std::snprintf(limit->errors->message, sizeof limit->errors->message, "more than %d scans", kMaxJPEGScans);
        std::longjmp(limit->errors->jump, 1);
    }
}

struct Decompression {
    jpeg_decompress_struct info {};
    ErrorHandler errors {};
    ScanLimit scanLimit {};
    bool created = false;

    ~Decompression()
    {
        if (created)
            jpeg_destroy_decompress(&info);
    }
};

bool isCMYK(J_COLOR_SPACE space)
{
    return space == JCS_CMYK || space == JCS_YCCK;
}

// Jump target.
bool readHeader(Decompression& job, std::span<const uint8_t> bytes)
{
    installErrorHandler(reinterpret_cast<j_common_ptr>(&job.info), job.errors);
    if (setjmp(job.errors.jump))
        return false;
    jpeg_create_decompress(&job.info);
    job.created = true;
    job.info.mem->max_memory_to_use = kMaxLibraryMemory;
    job.scanLimit.library.progress_monitor = checkScanCount;
    job.scanLimit.errors = &job.errors;
    job.info.progress = &job.scanLimit.library;
    jpeg_mem_src(&job.info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&job.info, TRUE);
    job.info.out_color_space = isCMYK(job.info.jpeg_color_space) ? JCS_CMYK : JCS_EXT_BGRA;
    return true;
}

// Jump target. Fills `pixels`, width * height * 4 bytes allocated by the caller.
bool readPixels(Decompression& job, uint8_t* pixels, size_t bytesPerRow)
{
    if (setjmp(job.errors.jump))
        return false;
    jpeg_start_decompress(&job.info);
    while (job.info.output_scanline < job.info.output_height) {
        JSAMPROW row = pixels + size_t(job.info.output_scanline) * bytesPerRow;
        jpeg_read_scanlines(&job.info, &row, 1);
    }
    jpeg_finish_decompress(&job.info);
    return true;
}

// The library hands CMYK over as stored. Adobe's files (the usual source) store the
// inks inverted, so 255 is no ink.
void convertCMYKToBGRA(std::vector<uint8_t>& pixels, bool inverted)
{
    for (size_t i = 0; i + 4 <= pixels.size(); i += 4) {
        unsigned c = pixels[i], m = pixels[i + 1], y = pixels[i + 2], k = pixels[i + 3];
        if (!inverted) {
            c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        }
        pixels[i] = uint8_t((y * k + 127) / 255);
        pixels[i + 1] = uint8_t((m * k + 127) / 255);
        pixels[i + 2] = uint8_t((c * k + 127) / 255);
        pixels[i + 3] = 255;
    }
}

std::optional<Bitmap> fail(std::string* error, std::string message)
{
    if (error)
        *error = std::move(message);
    return std::nullopt;
}

struct Compression {
    jpeg_compress_struct info {};
    ErrorHandler errors {};
    bool created = false;
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;

    ~Compression()
    {
        if (created)
            jpeg_destroy_compress(&info);
        std::free(output);
    }
};

// Jump target. The row pointers are prepared by the caller.
bool compress(Compression& job, const Bitmap& bitmap, int quality, JSAMPROW* rows)
{
    installErrorHandler(reinterpret_cast<j_common_ptr>(&job.info), job.errors);
    if (setjmp(job.errors.jump))
        return false;
    jpeg_create_compress(&job.info);
    job.created = true;
    jpeg_mem_dest(&job.info, &job.output, &job.outputSize);
    job.info.image_width = bitmap.width;
    job.info.image_height = bitmap.height;
    job.info.input_components = 4;
    job.info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&job.info);
    jpeg_set_quality(&job.info, quality, TRUE);
    jpeg_start_compress(&job.info, TRUE);
    while (job.info.next_scanline < job.info.image_height)
        jpeg_write_scanlines(&job.info, rows + job.info.next_scanline, job.info.image_height - job.info.next_scanline);
    jpeg_finish_compress(&job.info);
    return true;
}

} // namespace

std::optional<Bitmap> decodeJPEG(std::span<const uint8_t> bytes, std::string* error)
{
    if (bytes.empty())
        return fail(error, "JPEG: no data");
    Decompression job;
    if (!readHeader(job, bytes))
        return fail(error, fmt::format("JPEG: {}", job.errors.message));
    if (auto fault = Bitmap::sizeFault(job.info.image_width, job.info.image_height); !fault.empty())
        return fail(error, "JPEG: " + fault);
    uint64_t pixelCount = uint64_t(job.info.image_width) * job.info.image_height;
    if (!job.info.arith_code && pixelCount > kMaxPixelsPerHuffmanByte * bytes.size())
        return fail(error, fmt::format("JPEG: {}x{} pixels cannot come from {} bytes", job.info.image_width, job.info.image_height, bytes.size()));

    Bitmap bitmap;
    bitmap.width = job.info.image_width;
    bitmap.height = job.info.image_height;
    bitmap.pixels.resize(size_t(bitmap.width) * bitmap.height * Bitmap::bytesPerPixel);
    if (!readPixels(job, bitmap.pixels.data(), bitmap.bytesPerRow()))
        return fail(error, fmt::format("JPEG: {}", job.errors.message));
    if (job.info.out_color_space == JCS_CMYK)
        convertCMYKToBGRA(bitmap.pixels, job.info.saw_Adobe_marker);
    return bitmap;
}

std::vector<uint8_t> encodeJPEG(const Bitmap& bitmap, int quality)
{
    requireWellFormed(bitmap, "encodeJPEG");
    std::vector<JSAMPROW> rows(bitmap.height);
    for (uint32_t y = 0; y < bitmap.height; ++y)
        rows[y] = const_cast<JSAMPROW>(bitmap.row(y)); // the library only reads them
    Compression job;
    if (!compress(job, bitmap, std::clamp(quality, 1, 100), rows.data())) {
        // Only running out of memory can fail here: the input was checked above.
        throw std::runtime_error(fmt::format("encodeJPEG: {}", job.errors.message));
    }
    return std::vector<uint8_t>(job.output, job.output + job.outputSize);
}
