#include "BinaryPlistShape.h"

#include <algorithm>

namespace {

constexpr size_t kHeaderSize = 8;   // "bplist00"
constexpr size_t kTrailerSize = 32; // 6 unused bytes, offset size, reference size, three 8-byte numbers

enum ObjectType : uint8_t {
    kData = 0x4,
    kAsciiString = 0x5,
    kUnicodeString = 0x6,
    kUtf8String = 0x7,
    kArray = 0xA,
    kSet = 0xC,
    kDictionary = 0xD,
};

bool hasCount(uint8_t type)
{
    return type == kData || type == kAsciiString || type == kUnicodeString || type == kUtf8String || type == kArray
        || type == kSet || type == kDictionary;
}

uint64_t saturatingAdd(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

enum class Visit : uint8_t { New, Open, Done };

} // namespace

bool BinaryPlistShape::isSafe(std::span<const uint8_t> bytes, int maxDepth, uint64_t maxExpandedBytes)
{
    BinaryPlistShape shape(bytes);
    return shape.readTrailer() && shape.walk(maxDepth, maxExpandedBytes);
}

uint64_t BinaryPlistShape::readBigEndian(size_t position, unsigned size) const
{
    uint64_t value = 0;
    for (unsigned i = 0; i < size; ++i)
        value = value << 8 | m_bytes[position + i];
    return value;
}

bool BinaryPlistShape::readTrailer()
{
    if (m_bytes.size() < kHeaderSize + kTrailerSize)
        return false;
    size_t trailer = m_bytes.size() - kTrailerSize;
    m_offsetSize = m_bytes[trailer + 6];
    m_referenceSize = m_bytes[trailer + 7];
    m_objectCount = readBigEndian(trailer + 8, 8);
    m_root = readBigEndian(trailer + 16, 8);
    m_offsetTable = readBigEndian(trailer + 24, 8);
    if (m_offsetSize < 1 || m_offsetSize > 8 || m_referenceSize < 1 || m_referenceSize > 8)
        return false;
    if (m_objectCount == 0 || m_root >= m_objectCount || m_offsetTable < kHeaderSize || m_offsetTable > trailer)
        return false;
    // Each object takes at least a byte before the table and an offset in it.
    return m_objectCount <= m_offsetTable - kHeaderSize && m_objectCount <= (trailer - m_offsetTable) / m_offsetSize;
}

// A count or length that does not fit in the marker's four bits follows it as an integer
// object of 1, 2, 4 or 8 bytes.
std::optional<uint64_t> BinaryPlistShape::readSizedInteger(size_t& position) const
{
    size_t end = m_bytes.size() - kTrailerSize;
    if (position >= end || (m_bytes[position] >> 4) != 0x1 || (m_bytes[position] & 0xF) > 3)
        return std::nullopt;
    unsigned size = 1u << (m_bytes[position] & 0xF);
    if (end - position - 1 < size)
        return std::nullopt;
    uint64_t value = readBigEndian(position + 1, size);
    position += 1 + size;
    return value;
}

std::optional<BinaryPlistShape::Object> BinaryPlistShape::objectAt(uint64_t index) const
{
    uint64_t offset = readBigEndian(m_offsetTable + index * m_offsetSize, m_offsetSize);
    size_t end = m_bytes.size() - kTrailerSize;
    if (offset < kHeaderSize || offset >= end)
        return std::nullopt;
    auto position = static_cast<size_t>(offset);
    uint8_t marker = m_bytes[position++];
    uint8_t type = marker >> 4;
    Object object;
    if (!hasCount(type)) {
        object.leafBytes = 16; // numbers, dates, booleans, uids: small and fixed
        return object;
    }
    uint64_t count = marker & 0xF;
    if (count == 0xF) {
        auto longCount = readSizedInteger(position);
        if (!longCount)
            return std::nullopt;
        count = *longCount;
    }
    if (type == kArray || type == kSet || type == kDictionary) {
        uint64_t references = type == kDictionary ? count * 2 : count;
        if (count > end || references > (end - position) / m_referenceSize)
            return std::nullopt;
        object.references = references;
        object.referencesAt = position;
        return object;
    }
    object.leafBytes = type == kUnicodeString ? saturatingAdd(count, count) : count;
    if ((type == kAsciiString || type == kUnicodeString || type == kUtf8String) && holdsNul(position, object.leafBytes, type == kUnicodeString ? 2 : 1))
        return std::nullopt;
    return object;
}

// libplist hands out a string (or a dictionary key) that holds a NUL character through
// calls that assert it does not, and abort the reading process; such a file is not read.
bool BinaryPlistShape::holdsNul(size_t position, uint64_t length, unsigned unitSize) const
{
    size_t end = m_bytes.size() - kTrailerSize;
    if (position > end || length > end - position)
        return true;  // runs past the objects: libplist would not read it either
    for (uint64_t at = 0; at + unitSize <= length; at += unitSize) {
        bool nul = true;
        for (unsigned byte = 0; byte < unitSize; ++byte)
            nul = nul && m_bytes[position + at + byte] == 0;
        if (nul)
            return true;
    }
    return false;
}

bool BinaryPlistShape::walk(int maxDepth, uint64_t maxExpandedBytes)
{
    const uint64_t maxNodes = m_bytes.size();
    std::vector<Visit> visits(m_objectCount, Visit::New);
    std::vector<Totals> totals(m_objectCount);
    std::vector<Frame> path; // the containers from the root down to the one being walked

    // Adds a finished child to the container on top of the path; false past a limit.
    auto addToTop = [&](const Totals& child) {
        Frame& parent = path.back();
        parent.totals.nodes = saturatingAdd(parent.totals.nodes, child.nodes);
        parent.totals.leafBytes = saturatingAdd(parent.totals.leafBytes, child.leafBytes);
        parent.totals.height = std::max(parent.totals.height, child.height + 1);
        int depthOfParent = static_cast<int>(path.size()) - 1;
        return parent.totals.nodes <= maxNodes && parent.totals.leafBytes <= maxExpandedBytes
            && depthOfParent + parent.totals.height <= maxDepth;
    };
    // Opens an object: a leaf is done at once, a container goes on the path.
    auto open = [&](uint64_t index) -> std::optional<Totals> {
        auto object = objectAt(index);
        if (!object)
            return std::nullopt;
        if (object->references == 0) {
            totals[index] = Totals { 1, object->leafBytes, 0 };
            visits[index] = Visit::Done;
            return totals[index];
        }
        visits[index] = Visit::Open;
        path.push_back(Frame { index, *object, 0, Totals { 1, 0, 0 } });
        return Totals {}; // not finished yet
    };

    auto root = open(m_root);
    if (!root)
        return false;
    if (path.empty())
        return root->leafBytes <= maxExpandedBytes;
    while (!path.empty()) {
        Frame& frame = path.back();
        if (frame.nextReference == frame.object.references) {
            Totals finished = frame.totals;
            totals[frame.index] = finished;
            visits[frame.index] = Visit::Done;
            path.pop_back();
            if (!path.empty() && !addToTop(finished))
                return false;
            continue;
        }
        uint64_t child = readBigEndian(frame.object.referencesAt + frame.nextReference * m_referenceSize, m_referenceSize);
        ++frame.nextReference;
        if (child >= m_objectCount || visits[child] == Visit::Open)
            return false; // a reference to nothing, or a cycle
        if (visits[child] == Visit::Done) {
            if (!addToTop(totals[child]))
                return false;
            continue;
        }
        if (static_cast<int>(path.size()) > maxDepth)
            return false; // the child would sit deeper than allowed
        size_t depthBefore = path.size();
        auto opened = open(child);
        if (!opened)
            return false;
        if (path.size() == depthBefore && !addToTop(*opened))
            return false;
    }
    return true;
}
