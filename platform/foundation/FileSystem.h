#pragma once
// Whole-file reads and atomic writes. Paths here are device paths: each is resolved under
// the device root first.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

struct FileIdentity;

namespace FileSystem {

// The whole file, or nothing when it cannot be read, is not a regular file, is larger
// than `maxBytes`, or does not fit in memory. `identity`, when given, receives the
// identity of the file that was read, as it was when the read began.
std::optional<std::vector<uint8_t>> readFile(std::string_view path,
    std::size_t maxBytes = std::numeric_limits<std::size_t>::max(), FileIdentity* identity = nullptr);
// Writes beside the file and renames over it, so a reader sees the old file or the new,
// never a part. With atomically false, writes in place.
bool writeFile(std::string_view path, std::span<const uint8_t> bytes, bool atomically = true);
inline bool writeFile(std::string_view path, const std::vector<uint8_t>& bytes, bool atomically = true)
{
    return writeFile(path, std::span<const uint8_t>(bytes), atomically);
}
bool fileExists(std::string_view path);
bool removeFile(std::string_view path);
bool createDirectories(std::string_view path);

} // namespace FileSystem
