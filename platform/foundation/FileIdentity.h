#pragma once
// Whether a file changed since it was last read is decided here, and only here: a file is
// taken for unchanged while its identity (device, inode, size, modification and change
// times to the nanosecond) is the same. A writer that renames a new file into place gives
// it another inode; one that writes in place changes its size or its times, and the
// change time cannot be set back by anyone. So a reader that parses again only when the
// identity changed still sees every edit at its next read.

#include "Object.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct stat;

struct FileIdentity {
    uint64_t device { 0 };
    uint64_t inode { 0 };
    int64_t size { 0 };
    int64_t modifiedNs { 0 };
    int64_t changedNs { 0 };

    bool operator==(const FileIdentity&) const = default;

    static FileIdentity of(const struct stat& info);
    // The identity of the regular file at the host path now; nothing when there is none.
    static std::optional<FileIdentity> ofHostPath(const std::string& hostPath);
    // The same for a device path (resolved under the device root).
    static std::optional<FileIdentity> ofPath(std::string_view path);

    // As a property-list dictionary, for caches kept beside a file, and back (nothing when
    // the value is not such a dictionary).
    id asPropertyList() const;
    static std::optional<FileIdentity> fromPropertyList(const id& value);
};
