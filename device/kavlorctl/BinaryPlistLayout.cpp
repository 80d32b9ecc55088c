#include "BinaryPlistLayout.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view kMagic = "bplist00";

// The sizes of offsets and references that writers use and readers take (libplist writes
// 3-byte offsets into files of a few megabytes).
bool isValidIntegerSize(unsigned size) { return (size >= 1 && size <= 4) || size == 8; }

uint64_t bigEndian(const uint8_t* bytes, unsigned size)
{
    uint64_t value = 0;
    for (unsigned i = 0; i < size; ++i)
        value = value << 8 | bytes[i];
    return value;
}

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

std::optional<BinaryPlistLayout> BinaryPlistLayout::of(std::span<const uint8_t> bytes)
{
    return of(bytes.size(), [bytes](uint64_t offset, std::span<uint8_t> into) {
        if (offset > bytes.size() || into.size() > bytes.size() - offset)
            return false;
        std::memcpy(into.data(), bytes.data() + offset, into.size());
        return true;
    });
}

std::optional<BinaryPlistLayout> BinaryPlistLayout::of(uint64_t size, Reader reader)
{
    BinaryPlistLayout layout(size, std::move(reader));
    if (!layout.readTrailerAndOffsets())
        return std::nullopt;
    return layout;
}

bool BinaryPlistLayout::readTrailerAndOffsets()
{
    uint8_t header[kHeaderSize];
    uint8_t trailer[kTrailerSize];
    if (m_size < kHeaderSize + kTrailerSize || !m_read(0, header) || !m_read(m_size - kTrailerSize, trailer)
        || !std::equal(kMagic.begin(), kMagic.end(), header))
        return false;
    m_offsetSize = trailer[6];
    m_referenceSize = trailer[7];
    m_objectCount = bigEndian(trailer + 8, 8);
    m_root = bigEndian(trailer + 16, 8);
    m_offsetTable = bigEndian(trailer + 24, 8);
    uint64_t trailerAt = m_size - kTrailerSize;
    if (!isValidIntegerSize(m_offsetSize) || !isValidIntegerSize(m_referenceSize))
        return false;
    if (m_objectCount == 0 || m_root >= m_objectCount)
        return false;
    if (m_offsetTable < kHeaderSize || m_offsetTable > trailerAt || m_objectCount > (trailerAt - m_offsetTable) / m_offsetSize)
        return false;
    m_offsets.resize(m_objectCount * m_offsetSize);
    return m_read(m_offsetTable, m_offsets);
}

std::optional<uint64_t> BinaryPlistLayout::readNumber(uint64_t position, unsigned size) const
{
    uint8_t bytes[8];
    if (size > sizeof bytes || !m_read(position, std::span<uint8_t>(bytes, size)))
        return std::nullopt;
    return bigEndian(bytes, size);
}

uint64_t BinaryPlistLayout::offsetAt(uint64_t index) const
{
    return bigEndian(m_offsets.data() + index * m_offsetSize, m_offsetSize);
}

std::optional<BinaryPlistLayout::Object> BinaryPlistLayout::object(uint64_t index) const
{
    if (index >= m_objectCount)
        return std::nullopt;
    uint64_t offset = offsetAt(index);
    if (offset < kHeaderSize || offset >= objectsEnd())
        return std::nullopt;
    auto marker = readNumber(offset, 1);
    if (!marker)
        return std::nullopt;
    Object object { static_cast<Type>(*marker >> 4), offset, *marker & 0xFu, 1, 0 };
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
        auto countMarker = at < objectsEnd() ? readNumber(at, 1) : std::nullopt;
        if (!countMarker || (*countMarker >> 4) != kInteger || (*countMarker & 0xF) > 3)
            return std::nullopt;
        unsigned size = 1u << (*countMarker & 0xF);
        auto count = objectsEnd() - at - 1 >= size ? readNumber(at + 1, size) : std::nullopt;
        if (!count)
            return std::nullopt;
        object.count = *count;
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
    std::vector<uint8_t> bytes(count * m_referenceSize);
    if (!m_read(container.offset + container.headerSize, bytes))
        return std::nullopt;
    std::vector<uint64_t> indices;
    indices.reserve(count);
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t index = bigEndian(bytes.data() + i * m_referenceSize, m_referenceSize);
        if (index >= m_objectCount)
            return std::nullopt;
        indices.push_back(index);
    }
    return indices;
}

std::optional<std::vector<uint8_t>> BinaryPlistLayout::bytesOf(const Object& object) const
{
    std::vector<uint8_t> bytes(object.extent);
    if (!m_read(object.offset, bytes))
        return std::nullopt;
    return bytes;
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
