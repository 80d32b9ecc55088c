#pragma once
// One zlib stream deflated in parts at once.
//
// libdeflate compresses a whole buffer in one call, on one thread, and has no flush or
// preset dictionary. To use several cores, each part of the data is deflated by its own
// call and the raw deflate streams are laid end to end. Every stream but the last must
// then lose its end: its last block is marked final, and it stops wherever its
// end-of-block code does, mid-byte. libdeflate does not say where that block starts, so
// the part's own stream is walked once with zlib's inflate, which stops at each block
// boundary (Z_BLOCK); the final flag is cleared and an empty stored block brings the
// stream to a byte boundary (what zlib's Z_SYNC_FLUSH writes), so that the next part's
// blocks follow it. Each part starts with an empty window, so matches never reach back
// into the part before: the joined stream is a few hundred bytes larger than one call's.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class DeflatePart {
public:
    // Deflates `data` with libdeflate at `level` (clamped to 0..12). A part that is not
    // the last of its stream ends open, ready for the next part's blocks.
    DeflatePart(std::span<const uint8_t> data, int level, bool last);

    std::span<const uint8_t> bytes() const { return m_bytes; }
    size_t dataLength() const { return m_dataLength; }
    uint32_t adler32() const { return m_adler32; }

    // The two-byte zlib header for a stream deflated at `level`.
    static std::vector<uint8_t> zlibHeader(int level);
    // The zlib trailer (the Adler-32 of all the data, big-endian) of the parts, in order.
    static std::vector<uint8_t> zlibTrailer(std::span<const DeflatePart> parts);

private:
    void leaveOpen();

    std::vector<uint8_t> m_bytes;
    size_t m_dataLength;
    uint32_t m_adler32;
};
