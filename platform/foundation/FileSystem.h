#pragma once
// Whole-file reads and atomic writes. Paths here are device paths: each is resolved under
// the device root first.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace FileSystem {

std::optional<std::vector<uint8_t>> readFile(std::string_view path);
// Writes beside the file and renames over it, so a reader sees the old file or the new,
// never a part. With atomically false, writes in place.
bool writeFile(std::string_view path, const std::vector<uint8_t>& bytes, bool atomically = true);
bool fileExists(std::string_view path);
bool removeFile(std::string_view path);
bool createDirectories(std::string_view path);

} // namespace FileSystem
