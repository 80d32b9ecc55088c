#include "DeflatePart.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

namespace {

// inflate's output is thrown away as it comes; it only has to hold a few blocks.
constexpr size_t kWalkOutputBytes = size_t(256) << 10;
// inflate takes its input in pieces a uInt can count.
constexpr size_t kWalkInputBytes = size_t(1) << 30;

// igzip's level 1: on filtered photo rows it packs as tight as its levels 2 and 3, at the
// highest speed.
constexpr int kIgzipLevel = 1;
constexpr size_t kIgzipLevelBufferBytes = ISAL_DEF_LVL1_DEFAULT;
// igzip takes its input in pieces a uint32_t can count.
constexpr size_t kIgzipInputBytes = size_t(1) << 30;

struct FinalBlock {
    size_t headerBit; // where its three header bits start
    size_t endBit;    // just after its end-of-block code
};

class Inflater {
public:
    Inflater()
    {
        // Negative window bits: a raw deflate stream, no zlib header or trailer.
        if (inflateInit2(&m_stream, -MAX_WBITS) != Z_OK)
            throw std::bad_alloc();
    }
    ~Inflater() { inflateEnd(&m_stream); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    z_stream* operator->() { return &m_stream; }
    z_stream* get() { return &m_stream; }

private:
    z_stream m_stream {};
};

// Walks a raw deflate stream block by block. inflate, asked to stop at block boundaries,
// reports in data_type the bits of the last byte it took that it has not used (+128 at a
// boundary, +64 once the final block has been read into).
FinalBlock findFinalBlock(std::span<const uint8_t> stream, size_t dataLength)
{
    Inflater inflater;
    std::vector<uint8_t> output(kWalkOutputBytes);
    size_t fedBytes = 0;
    size_t blockStart = 0;
    for (;;) {
        if (inflater->avail_in == 0 && fedBytes < stream.size()) {
            inflater->next_in = const_cast<Bytef*>(stream.data() + fedBytes);
            inflater->avail_in = uInt(std::min(kWalkInputBytes, stream.size() - fedBytes));
            fedBytes += inflater->avail_in;
        }
        inflater->next_out = output.data();
        inflater->avail_out = uInt(output.size());
        int status = inflate(inflater.get(), Z_BLOCK);
        if (status != Z_OK && status != Z_BUF_ERROR)
            throw std::logic_error("deflate part: libdeflate's stream does not inflate");
        size_t usedBytes = fedBytes - inflater->avail_in;
        size_t bit = usedBytes * 8 - size_t(inflater->data_type & 7);
        bool atBoundary = inflater->data_type & 128;
        bool finalRead = inflater->data_type & 64;
        if (atBoundary && finalRead) {
            if (inflater->total_out != dataLength || (bit + 7) / 8 != stream.size())
                throw std::logic_error("deflate part: libdeflate's stream is not the part's data");
            return { blockStart, bit };
        }
        if (atBoundary)
            blockStart = bit;
        if (status == Z_BUF_ERROR && inflater->avail_in == 0 && fedBytes == stream.size())
            throw std::logic_error("deflate part: libdeflate's stream ends without a final block");
    }
}

// The raw deflate stream of `data`, after `history` (its last bytes, as a dictionary);
// with `last` false it ends with a sync flush: byte-aligned, no final block.
DeflatedBytes deflateWithIgzip(std::span<const uint8_t> data, std::span<const uint8_t> history, bool last)
{
    // Zeroed first: isal_deflate_init leaves the input fields as they were.
    isal_zstream stream {};
    isal_deflate_init(&stream);
    std::vector<uint8_t> levelBuffer(kIgzipLevelBufferBytes);
    stream.level = kIgzipLevel;
    stream.level_buf = levelBuffer.data();
    stream.level_buf_size = uint32_t(levelBuffer.size());
    stream.hist_bits = DeflatePart::kIgzipWindowBits;
    stream.flush = last ? NO_FLUSH : SYNC_FLUSH;
    if (!history.empty()) {
        std::span<const uint8_t> window = history.last(std::min(history.size(), DeflatePart::kIgzipWindowBytes));
        if (isal_deflate_set_dict(&stream, const_cast<uint8_t*>(window.data()), uint32_t(window.size())) != COMP_OK)
            throw std::logic_error("deflate part: igzip refused the dictionary");
    }
    // Room for stored blocks when nothing packs; grown when that is still not enough.
    DeflatedBytes out(data.size() + data.size() / 16 + 1024);
    size_t fed = 0;
    for (;;) {
        if (stream.avail_in == 0 && fed < data.size()) {
            stream.next_in = const_cast<uint8_t*>(data.data() + fed);
            stream.avail_in = uint32_t(std::min(kIgzipInputBytes, data.size() - fed));
            fed += stream.avail_in;
        }
        stream.end_of_stream = last && fed == data.size();
        size_t written = stream.total_out;
        stream.next_out = out.data() + written;
        stream.avail_out = uint32_t(std::min<size_t>(out.size() - written, UINT32_MAX));
        if (int status = isal_deflate(&stream); status != COMP_OK)
            throw std::logic_error("deflate part: igzip failed with status " + std::to_string(status));
        bool allTaken = stream.avail_in == 0 && fed == data.size();
        bool ended = last ? stream.internal_state.state == ZSTATE_END : stream.internal_state.state == ZSTATE_NEW_HDR;
        if (allTaken && ended)
            break;
        if (stream.avail_out == 0)
            out.resize(out.size() + out.size() / 2);
    }
    out.resize(stream.total_out);
    return out;
}

} // namespace

DeflatePart::DeflatePart(std::span<const uint8_t> data, int level, bool last, Deflater deflater, std::span<const uint8_t> history)
    : m_dataLength(data.size())
    , m_adler32(libdeflate_adler32(1, data.data(), data.size()))
{
    if (deflater == Deflater::igzip)
        m_bytes = deflateWithIgzip(data, history, last);
    else
        deflateWithLibdeflate(data, level, last);
}

void DeflatePart::deflateWithLibdeflate(std::span<const uint8_t> data, int level, bool last)
{
    std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> compressor(
        libdeflate_alloc_compressor(std::clamp(level, 0, 12)), libdeflate_free_compressor);
    if (!compressor)
        throw std::bad_alloc();
    m_bytes.resize(libdeflate_deflate_compress_bound(compressor.get(), data.size()));
    size_t length = libdeflate_deflate_compress(compressor.get(), data.data(), data.size(), m_bytes.data(), m_bytes.size());
    // The buffer is the library's own bound for this input, so running out of room is a
    // broken invariant, not bad input.
    if (length == 0)
        throw std::logic_error("deflate part: output exceeded its bound");
    m_bytes.resize(length);
    if (!last)
        leaveOpen();
}

void DeflatePart::leaveOpen()
{
    FinalBlock finalBlock = findFinalBlock(m_bytes, m_dataLength);
    m_bytes[finalBlock.headerBit / 8] &= uint8_t(~(1u << (finalBlock.headerBit % 8)));
    // The empty stored block: three zero header bits (not final, stored) right after the
    // end-of-block code, zero bits to the byte boundary, then LEN 0 and NLEN 0xFFFF. Its
    // header fits in what is left of the last byte, or needs a byte of its own.
    unsigned usedBitsOfLastByte = unsigned(finalBlock.endBit % 8);
    if (usedBitsOfLastByte != 0)
        m_bytes.back() &= uint8_t((1u << usedBitsOfLastByte) - 1);
    unsigned freeBitsOfLastByte = usedBitsOfLastByte == 0 ? 0 : 8 - usedBitsOfLastByte;
    if (freeBitsOfLastByte < 3)
        m_bytes.push_back(0);
    m_bytes.insert(m_bytes.end(), { 0x00, 0x00, 0xFF, 0xFF });
}

std::vector<uint8_t> DeflatePart::zlibHeader(int level)
{
    // CMF: deflate with a 32 KiB window. FLG: the level class libdeflate writes for this
    // level, and the check bits that make CMF·256 + FLG a multiple of 31.
    level = std::clamp(level, 0, 12);
    unsigned levelClass = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    unsigned header = 0x78u << 8 | levelClass << 6;
    header += 31 - header % 31;
    return { uint8_t(header >> 8), uint8_t(header) };
}

std::vector<uint8_t> DeflatePart::zlibTrailer(std::span<const DeflatePart> parts)
{
    uLong adler = 1;
    for (const DeflatePart& part : parts)
        adler = adler32_combine64(adler, part.adler32(), z_off64_t(part.dataLength()));
    return { uint8_t(adler >> 24), uint8_t(adler >> 16), uint8_t(adler >> 8), uint8_t(adler) };
}
