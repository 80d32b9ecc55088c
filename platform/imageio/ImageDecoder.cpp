#include "ImageDecoder.h"

#include "JPEGCodec.h"
#include "PNGDecoder.h"

#include <fmt/core.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

ImageFormat sniffImageFormat(std::span<const uint8_t> bytes)
{
    static constexpr uint8_t pngSignature[] = { 137, 'P', 'N', 'G', '\r', '\n', 26, '\n' };
    static constexpr uint8_t jpegStart[] = { 0xFF, 0xD8, 0xFF };
    auto startsWith = [&](std::span<const uint8_t> prefix) {
        return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
    };
    if (startsWith(pngSignature))
        return ImageFormat::png;
    if (startsWith(jpegStart))
        return ImageFormat::jpeg;
    return ImageFormat::unknown;
}

std::optional<Bitmap> decodeImage(std::span<const uint8_t> bytes, std::string* error)
{
    switch (sniffImageFormat(bytes)) {
    case ImageFormat::png:
        return decodePNG(bytes, error);
    case ImageFormat::jpeg:
        return decodeJPEG(bytes, error);
    case ImageFormat::unknown:
        break;
    }
    if (error)
        *error = bytes.empty() ? "no data" : "not a PNG or JPEG image";
    return std::nullopt;
}

std::optional<Bitmap> decodeImageFile(const std::string& path, std::string* error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error)
            *error = fmt::format("{}: cannot open: {}", path, std::strerror(errno));
        return std::nullopt;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        if (error)
            *error = fmt::format("{}: read failed", path);
        return std::nullopt;
    }
    std::string reason;
    std::optional<Bitmap> bitmap = decodeImage(bytes, &reason);
    if (!bitmap && error)
        *error = fmt::format("{}: {}", path, reason);
    return bitmap;
}
