#pragma once
// The file in which DictionaryFileEntry keeps an entry between processes. It holds the
// entry, its key and the identity of the file it was taken from as a binary property
// list, followed by the entry's large Data values (pictures) as they are, so that a
// reader copies each picture once, straight from the file into its value, rather than
// three times through a property-list parser.
//
// Layout: "KVENTRY1", the property list's length (8 bytes, big-endian), the property list
// {Source, Key, Value, Pictures}, then the pictures. Each Data value of a dictionary in
// Value (at any depth) of at least kMinimumKeptBytes is left in Value empty and listed in
// Pictures as {Path: [keys], Offset, Length}. Anything that does not read as exactly this
// reads as nothing.

#include "FileIdentity.h"
#include "NSObjectValues.h"

#include <optional>
#include <string>

namespace KeptEntryFile {

inline constexpr size_t kMinimumKeptBytes = 4096;

struct Contents {
    FileIdentity source;
    std::string key;
    id value;
};

// `path` is a device path.
std::optional<Contents> read(const std::string& path);
bool write(const std::string& path, const Contents& contents);

} // namespace KeptEntryFile
