#include "ImageFile.h"

#include "ImageHeader.h"
#include "KavlorctlError.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fmt/format.h>
#include <fstream>

namespace ImageFile {

static std::vector<uint8_t> readWholeFile(const std::string& hostPath, const std::string& role)
{
    std::error_code error;
    auto status = std::filesystem::status(hostPath, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw KavlorctlError(fmt::format("cannot read {} image '{}': not a regular file", role, hostPath));
    std::uintmax_t expectedSize = 0;
    if (std::filesystem::is_regular_file(status)) {
        auto size = std::filesystem::file_size(hostPath, error);
        if (!error && size > kMaxImageFileBytes)
            throw KavlorctlError(fmt::format("{} image '{}' is too large: {} bytes (at most {} MiB)", role, hostPath, size, kMaxImageFileBytes >> 20));
        expectedSize = error ? 0 : size;
    }
    std::ifstream file(hostPath, std::ios::binary);
    if (!file)
        throw KavlorctlError(fmt::format("cannot read {} image '{}': {}", role, hostPath, std::strerror(errno)));
    // Read in one go (the size was checked above); a file that grew meanwhile is read on.
    // Straight into the answer: a wallpaper of megabytes is neither copied nor grown.
    std::vector<uint8_t> bytes(static_cast<size_t>(expectedSize));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(file.gcount()));
    char buffer[1 << 16];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + file.gcount());
        if (bytes.size() > kMaxImageFileBytes)
            throw KavlorctlError(fmt::format("{} image '{}' is too large: more than {} MiB", role, hostPath, kMaxImageFileBytes >> 20));
    }
    if (file.bad())
        throw KavlorctlError(fmt::format("cannot read {} image '{}': read failed", role, hostPath));
    return bytes;
}

std::vector<uint8_t> readImage(const std::string& hostPath, const std::string& role)
{
    std::vector<uint8_t> bytes = readWholeFile(hostPath, role);
    // The header and the decoders' size limit tell what a decode would refuse up front;
    // the pixels are not decoded, which for a wallpaper costs far more than the rest.
    std::string reason;
    if (!readImageHeader(bytes, &reason))
        throw KavlorctlError(fmt::format("{} image '{}' is not a usable PNG or JPEG picture: {}", role, hostPath, reason));
    return bytes;
}

} // namespace ImageFile
