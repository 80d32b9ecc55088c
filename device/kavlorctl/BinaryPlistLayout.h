#pragma once
// Where the objects of a binary property list ("bplist00") lie, read from its trailer and
// offset table without parsing any value: each object's marker, its extent in bytes, and
// the objects a container refers to. This is what a writer needs to add to a file by
// keeping the bytes it has (UserDataAppender), and to know how much of a file nothing
// refers to any more.
//
// The format: the header "bplist00", the objects, the offset table (one offset per object,
// each `offsetSize` bytes, big-endian), and a 32-byte trailer (6 unused bytes, the offset
// size, the reference size, then the object count, the root object's index and the
// offset table's position, 8 bytes each). A container (array, set, dictionary) refers to
// its items by index, each reference `referenceSize` bytes; a dictionary lists its keys'
// references, then its values'.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

class BinaryPlistLayout {
public:
    static constexpr size_t kHeaderSize = 8;
    static constexpr size_t kTrailerSize = 32;

    enum Type : uint8_t {
        kSimple = 0x0,  // null, false, true, fill
        kInteger = 0x1,
        kReal = 0x2,
        kDate = 0x3,
        kData = 0x4,
        kAsciiString = 0x5,
        kUnicodeString = 0x6,
        kUtf8String = 0x7,
        kUid = 0x8,
        kArray = 0xA,
        kSet = 0xC,
        kDictionary = 0xD,
    };

    struct Object {
        Type type;
        uint64_t offset;       // of its marker
        uint64_t count;        // items, or bytes or characters of a data or string object
        uint64_t headerSize;   // the marker and, for a long count, the count that follows
        uint64_t extent;       // all its bytes, header included
        bool isContainer() const { return type == kArray || type == kSet || type == kDictionary; }
    };

    // Fills `into` with the bytes at `offset`; false when it cannot.
    using Reader = std::function<bool(uint64_t offset, std::span<uint8_t> into)>;

    // Nothing when the bytes are not a binary property list whose trailer and offset table
    // lie within them. The bytes must outlive the layout.
    static std::optional<BinaryPlistLayout> of(std::span<const uint8_t> bytes);
    // The same for a file of `size` bytes read piece by piece: only the trailer, the offset
    // table and what is asked for are read.
    static std::optional<BinaryPlistLayout> of(uint64_t size, Reader reader);

    unsigned offsetSize() const { return m_offsetSize; }
    unsigned referenceSize() const { return m_referenceSize; }
    uint64_t objectCount() const { return m_objectCount; }
    uint64_t rootIndex() const { return m_root; }
    uint64_t offsetTableAt() const { return m_offsetTable; }

    // Nothing when the index or the object's bytes are out of bounds or its marker unknown.
    std::optional<Object> object(uint64_t index) const;
    // The indices a container refers to (a dictionary's keys, then its values); nothing when
    // one is not an object of this file.
    std::optional<std::vector<uint64_t>> references(const Object& container) const;
    // All the object's bytes, header included.
    std::optional<std::vector<uint8_t>> bytesOf(const Object& object) const;

    // The bytes of the objects reachable from `roots`, each object counted once however many
    // refer to it; nothing when an object on the way cannot be read.
    std::optional<uint64_t> reachableBytes(const std::vector<uint64_t>& roots) const;

    // The smallest of 1, 2, 4 or 8 bytes that holds `value` (an offset or a reference).
    static unsigned sizeFor(uint64_t value);
    static void appendBigEndian(std::vector<uint8_t>& out, uint64_t value, unsigned size);

private:
    BinaryPlistLayout(uint64_t size, Reader reader) : m_size(size), m_read(std::move(reader)) { }
    bool readTrailerAndOffsets();
    // The unsigned big-endian number of `size` bytes at `position`.
    std::optional<uint64_t> readNumber(uint64_t position, unsigned size) const;
    uint64_t offsetAt(uint64_t index) const;
    uint64_t objectsEnd() const { return m_offsetTable; }

    uint64_t m_size;
    Reader m_read;
    std::vector<uint8_t> m_offsets;  // the offset table as the file has it
    unsigned m_offsetSize = 0;
    unsigned m_referenceSize = 0;
    uint64_t m_objectCount = 0;
    uint64_t m_root = 0;
    uint64_t m_offsetTable = 0;
};
