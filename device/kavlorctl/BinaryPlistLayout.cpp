#include "BinaryPlistLayout.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr std::string_view kMagic = "bplist00";

// The sizes of offsets and references that writers use and readers take (libplist writes
// 3-byte offsets into files of a few megabytes).
bool isValidIntegerSize(unsigned size) { return (size >= 1 && size <= 4) || size == 8; }

} // namespace

unsigned BinaryPlistLayout::sizeFor(uint64_t value)
{
    if (value <= 0xFF)
        return 1;
    if (value <= 0xFFFF)
        return 2;
    if (value <= 0xFFFFFFFFull)
        return 4;
    return 8;
}

void BinaryPlistLayout::appendBigEndian(std::vector<uint8_t>& out, uint64_t value, unsigned size)
{
    for (unsigned i = size; i-- > 0;)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint64_t BinaryPlistLayout::readBigEndian(uint64_t position, unsigned size) const
{
    uint64_t value = 0;
    for (unsigned i = 0; i < size; ++i)
        value = value << 8 | m_bytes[position + i];
    return value;
}

std::optional<BinaryPlistLayout> BinaryPlistLayout::of(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kHeaderSize + kTrailerSize || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin()))
        return std::nullopt;
    BinaryPlistLayout layout(bytes);
    uint64_t trailer = bytes.size() - kTrailerSize;
    layout.m_offsetSize = bytes[trailer + 6];
    layout.m_referenceSize = bytes[trailer + 7];
    layout.m_objectCount = layout.readBigEndian(trailer + 8, 8);
    layout.m_root = layout.readBigEndian(trailer + 16, 8);
    layout.m_offsetTable = layout.readBigEndian(trailer + 24, 8);
    if (!isValidIntegerSize(layout.m_offsetSize) || !isValidIntegerSize(layout.m_referenceSize))
        return std::nullopt;
    if (layout.m_objectCount == 0 || layout.m_root >= layout.m_objectCount)
        return std::nullopt;
    if (layout.m_offsetTable < kHeaderSize || layout.m_offsetTable > trailer
        || layout.m_objectCount > (trailer - layout.m_offsetTable) / layout.m_offsetSize)
        return std::nullopt;
    return layout;
}

std::optional<BinaryPlistLayout::Object> BinaryPlistLayout::object(uint64_t index) const
{
    if (index >= m_objectCount)
        return std::nullopt;
    uint64_t offset = readBigEndian(m_offsetTable + index * m_offsetSize, m_offsetSize);
    if (offset < kHeaderSize || offset >= objectsEnd())
        return std::nullopt;
    uint8_t marker = m_bytes[offset];
    Object object { static_cast<Type>(marker >> 4), offset, marker & 0xFu, 1, 0 };
    uint64_t unitSize = 1;
    switch (object.type) {
    case kSimple:
        object.count = 0;
        break;
    case kInteger:
    case kReal:
        object.headerSize = 1 + (uint64_t(1) << object.count);
        object.count = 0;
        break;
    case kDate:
        object.headerSize = 9;
        object.count = 0;
        break;
    case kUid:
        object.headerSize = 1 + object.count + 1;
        object.count = 0;
        break;
    case kData:
    case kAsciiString:
    case kUtf8String:
        break;
    case kUnicodeString:
        unitSize = 2;
        break;
    case kArray:
    case kSet:
        unitSize = m_referenceSize;
        break;
    case kDictionary:
        unitSize = 2 * uint64_t(m_referenceSize);
        break;
    default:
        return std::nullopt;
    }
    bool hasCount = object.type >= kData && object.type != kUid;
    if (hasCount && object.count == 0xF) {
        // A long count follows as an integer object of 1, 2, 4 or 8 bytes.
        uint64_t at = offset + 1;
        if (at >= objectsEnd() || (m_bytes[at] >> 4) != kInteger || (m_bytes[at] & 0xF) > 3)
            return std::nullopt;
        unsigned size = 1u << (m_bytes[at] & 0xF);
        if (objectsEnd() - at - 1 < size)
            return std::nullopt;
        object.count = readBigEndian(at + 1, size);
        object.headerSize = 2 + size;
    }
    uint64_t room = objectsEnd() - offset;
    if (object.headerSize > room || object.count > (room - object.headerSize) / unitSize)
        return std::nullopt;
    object.extent = object.headerSize + object.count * unitSize;
    return object;
}

std::optional<std::vector<uint64_t>> BinaryPlistLayout::references(const Object& container) const
{
    if (!container.isContainer())
        return std::vector<uint64_t> {};
    uint64_t count = container.type == kDictionary ? 2 * container.count : container.count;
    std::vector<uint64_t> indices;
    indices.reserve(count);
    uint64_t at = container.offset + container.headerSize;
    for (uint64_t i = 0; i < count; ++i, at += m_referenceSize) {
        uint64_t index = readBigEndian(at, m_referenceSize);
        if (index >= m_objectCount)
            return std::nullopt;
        indices.push_back(index);
    }
    return indices;
}

std::optional<uint64_t> BinaryPlistLayout::reachableBytes(const std::vector<uint64_t>& roots) const
{
    std::vector<bool> seen(m_objectCount, false);
    std::vector<uint64_t> pending(roots);
    uint64_t bytes = 0;
    while (!pending.empty()) {
        uint64_t index = pending.back();
        pending.pop_back();
        if (index >= m_objectCount)
            return std::nullopt;
        if (seen[index])
            continue;
        seen[index] = true;
        auto object = this->object(index);
        if (!object)
            return std::nullopt;
        bytes += object->extent;
        auto children = references(*object);
        if (!children)
            return std::nullopt;
        pending.insert(pending.end(), children->begin(), children->end());
    }
    return bytes;
}
