#pragma once
// A look at the structure of a binary property list before libplist reads it. libplist's
// binary reader recurses once per level of nesting and copies a shared object once for
// every reference to it, so a small hostile file can exhaust the stack (a deep chain of
// arrays) or the memory (each array referring twice to the next doubles the copies).
//
// The walk here follows only the object references, without recursion, each object once.
// A file is safe when no object sits more than `maxDepth` levels below the root, the
// tree that references spell out has no more nodes than the file has bytes (what every
// writer gives, since writers share only leaf values, each reference costing at least a
// byte), and the leaf contents it spells out come to at most `maxExpandedBytes`.
// Anything the walk cannot follow (a bad trailer, offset or reference, a cycle) is unsafe,
// and so is a string that holds a NUL character (libplist aborts on it).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class BinaryPlistShape {
public:
    static bool isSafe(std::span<const uint8_t> bytes, int maxDepth, uint64_t maxExpandedBytes);

private:
    // What a subtree spells out: its nodes, its leaf bytes and its height (0 for a leaf).
    struct Totals {
        uint64_t nodes = 0;
        uint64_t leafBytes = 0;
        int height = 0;
    };
    struct Object {
        uint64_t references = 0; // children of a container (a dictionary's keys and values)
        size_t referencesAt = 0; // where the references start
        uint64_t leafBytes = 0;
    };
    struct Frame {
        uint64_t index;
        Object object;
        uint64_t nextReference = 0;
        Totals totals;
    };

    explicit BinaryPlistShape(std::span<const uint8_t> bytes) : m_bytes(bytes) { }
    bool readTrailer();
    std::optional<Object> objectAt(uint64_t index) const;
    std::optional<uint64_t> readSizedInteger(size_t& position) const;
    uint64_t readBigEndian(size_t position, unsigned size) const;
    bool holdsNul(size_t position, uint64_t length, unsigned unitSize) const;
    bool walk(int maxDepth, uint64_t maxExpandedBytes);

    std::span<const uint8_t> m_bytes;
    unsigned m_offsetSize = 0;
    unsigned m_referenceSize = 0;
    uint64_t m_objectCount = 0;
    uint64_t m_root = 0;
    uint64_t m_offsetTable = 0;
};
