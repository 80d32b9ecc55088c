#pragma once
// Whole-file reads and atomic writes. Paths here are device paths: each is resolved under
// the device root first.

#include <cstddef>
#include <cstdint>
#include <functional>
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
// never a part; the temporaries that writers of the same file left when they died are
// removed first. With atomically false, writes in place.
bool writeFile(std::string_view path, std::span<const uint8_t> bytes, bool atomically = true);
inline bool writeFile(std::string_view path, const std::vector<uint8_t>& bytes, bool atomically = true)
{
    return writeFile(path, std::span<const uint8_t>(bytes), atomically);
}
// The same atomic write for a writer that fills the temporary itself (copies from another
// file, writes in pieces): `fill` gets the temporary's descriptor and answers whether it
// wrote everything. Nothing replaces the file unless it did.
bool writeFileWith(std::string_view path, const std::function<bool(int fd)>& fill);
// Removes the temporaries of `path` that dead writers left beside it (those no living
// writer holds and that are some seconds old).
void removeStaleTemporaries(std::string_view path);
bool fileExists(std::string_view path);
bool removeFile(std::string_view path);
bool createDirectories(std::string_view path);

} // namespace FileSystem
