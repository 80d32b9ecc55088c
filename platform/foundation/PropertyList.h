#pragma once
// The one property-list reader and writer of the product (XML and binary, through
// libplist). Every settings, user-data, app-list and icon-state file is read here, so how
// such files are read is decided in one place. Bytes that are not a property list read
// as nil, and so do files over 256 MiB, documents nested more than 256 levels deep and
// binary documents whose shared objects would spell out more than the file holds;
// nothing here throws.

#include "NSObjectValues.h"

#include <span>

struct FileIdentity;

namespace PropertyList {

enum class Format { XML, Binary };

// The largest property-list file that is read: 256 MiB. Every writer of a file the
// library reads (kavlorctl) refuses a change that would take the file past it, so a
// change that is reported done is one SpringBoard sees.
inline constexpr std::size_t kMaximumFileSize = std::size_t(256) << 20;
// kMaximumFileSize, or less when KAVLOR_PLIST_SIZE_LIMIT (bytes, at least 4096) asks for
// less: a device with little memory, and tests, which cannot write 256 MiB files at will.
// It never raises the bound.
std::size_t maximumFileSize();

id read(std::span<const uint8_t> bytes);
// The file's root object, or nil when it is missing or not a property list (device path).
id readFile(std::string_view path);
// The root object when it is a dictionary, else nil.
Id<NSDictionary> readDictionaryFile(std::string_view path);
// readFile, and the identity of the file as it was read (unchanged when nothing was read).
id readFile(std::string_view path, FileIdentity& identity);

// The same as readFile for a reader that asks often: the file is parsed again only when
// its identity changed since this process last read it (see FileIdentity), so every edit
// is still seen at the next call. The value answered is shared by every caller until the
// file changes: read it, or take a mutableCopy to change.
id readFileCached(std::string_view path);
Id<NSDictionary> readDictionaryFileCached(std::string_view path);

// How many times bytes were parsed in this process (what the cached reads save).
unsigned long parseCount();

// Empty when the value holds something a property list cannot (an object of another
// class), or is nested deeper than a read would take.
std::vector<uint8_t> serialize(const id& value, Format = Format::XML);
bool writeFile(std::string_view path, const id& value, Format = Format::XML, bool atomically = true);

} // namespace PropertyList
