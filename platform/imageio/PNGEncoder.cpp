#include "PNGEncoder.h"

#include "DeflatePart.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>

namespace {

constexpr uint8_t kPNGSignature[8] = { 137, 'P', 'N', 'G', '\r', '\n', 26, '\n' };
// IDAT data is split into chunks of this size, as most encoders do, rather than one chunk
// of many megabytes that some readers buffer whole.
constexpr size_t kMaxIDATLength = size_t(1) << 20;
constexpr uint8_t kColourTypeRGB = 2;
constexpr uint8_t kColourTypeRGBA = 6;

void appendBigEndian32(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(uint8_t(value >> 24));
    out.push_back(uint8_t(value >> 16));
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

void appendChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t length)
{
    appendBigEndian32(out, uint32_t(length));
    out.insert(out.end(), type, type + 4);
    if (length)
        out.insert(out.end(), data, data + length);
    uint32_t crc = libdeflate_crc32(0, type, 4);
    // Not called for an empty chunk: given a null buffer, libdeflate_crc32 answers 0
    // instead of the running value.
    if (length)
        crc = libdeflate_crc32(crc, data, length);
    appendBigEndian32(out, crc);
}

void appendHeader(std::vector<uint8_t>& out, const Bitmap& bitmap, uint8_t colourType)
{
    out.insert(out.end(), std::begin(kPNGSignature), std::end(kPNGSignature));
    std::vector<uint8_t> header;
    appendBigEndian32(header, bitmap.width);
    appendBigEndian32(header, bitmap.height);
    header.push_back(8); // bits per sample
    header.push_back(colourType);
    header.push_back(0); // deflate
    header.push_back(0); // the five standard filters
    header.push_back(0); // not interlaced
    appendChunk(out, "IHDR", header.data(), header.size());
}

// round(c * 255 / a) for every premultiplied component c and alpha a, looked up instead
// of divided per pixel.
const std::array<uint8_t, 256 * 256>& unpremultiplyTable()
{
    static const auto table = [] {
        auto entries = std::make_unique<std::array<uint8_t, 256 * 256>>();
        for (unsigned alpha = 0; alpha < 256; ++alpha) {
            for (unsigned component = 0; component < 256; ++component)
                (*entries)[alpha * 256 + component] = unpremultiplyComponent(uint8_t(component), uint8_t(alpha));
        }
        return entries;
    }();
    return *table;
}

// The loops over a row's bytes are also compiled for processors with AVX2, where they run
// 32 bytes at a time instead of 16; the clone is chosen when the library loads. GCC only:
// clang (the fuzzing build) clones no function templates, and builds the plain loops.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define VECTOR_LOOP_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VECTOR_LOOP_CLONES
#endif

// The rows never overlap; said so, the loop vectorises.
VECTOR_LOOP_CLONES void packOpaqueRow(const uint8_t* __restrict bgra, uint8_t* __restrict rgb, uint32_t width)
{
    for (uint32_t x = 0; x < width; ++x, bgra += 4, rgb += 3) {
        rgb[0] = bgra[2];
        rgb[1] = bgra[1];
        rgb[2] = bgra[0];
    }
}

void packRowWithAlpha(const uint8_t* bgra, uint8_t* rgba, uint32_t width)
{
    const uint8_t* table = unpremultiplyTable().data();
    for (uint32_t x = 0; x < width; ++x, bgra += 4, rgba += 4) {
        uint8_t alpha = bgra[3];
        const uint8_t* straight = table + alpha * 256;
        rgba[0] = straight[bgra[2]];
        rgba[1] = straight[bgra[1]];
        rgba[2] = straight[bgra[0]];
        rgba[3] = alpha;
    }
}

// The filters read `raw - bpp` and `prior - bpp`: both rows carry bpp zero bytes in front,
// which is exactly what the PNG filters assume left of the first pixel, so the loops have
// no special case and vectorise.
template <size_t bpp>
VECTOR_LOOP_CLONES void filterSub(const uint8_t* raw, const uint8_t*, uint8_t* out, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        out[i] = uint8_t(raw[i] - raw[i - bpp]);
}

template <size_t bpp>
VECTOR_LOOP_CLONES void filterUp(const uint8_t* raw, const uint8_t* prior, uint8_t* out, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        out[i] = uint8_t(raw[i] - prior[i]);
}

template <size_t bpp>
VECTOR_LOOP_CLONES void filterAverage(const uint8_t* raw, const uint8_t* prior, uint8_t* out, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        out[i] = uint8_t(raw[i] - ((unsigned(raw[i - bpp]) + prior[i]) >> 1));
}

template <size_t bpp>
VECTOR_LOOP_CLONES void filterPaeth(const uint8_t* raw, const uint8_t* prior, uint8_t* out, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        int16_t a = raw[i - bpp], b = prior[i], c = prior[i - bpp];
        int16_t pa = int16_t(std::abs(b - c));
        int16_t pb = int16_t(std::abs(a - c));
        int16_t pc = int16_t(std::abs(a + b - 2 * c));
        int16_t predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
        out[i] = uint8_t(raw[i] - predictor);
    }
}

// The heuristic's cost of a filtered row: residuals read as signed bytes, summed absolute.
// A byte's signed value is its unsigned value with the top bit flipped, less 128. Taken
// against an array of 128s, the sum is one of absolute differences of two byte arrays,
// which the vectoriser turns into one instruction (psadbw) for 16 or 32 bytes; against
// the constant 128 it does not. The int sum cannot overflow within kBiasBytes.
constexpr size_t kBiasBytes = 4096;
constexpr std::array<uint8_t, kBiasBytes> kBias = [] {
    std::array<uint8_t, kBiasBytes> bias {};
    for (uint8_t& byte : bias)
        byte = 128;
    return bias;
}();

VECTOR_LOOP_CLONES uint64_t residualCost(const uint8_t* filtered, size_t length)
{
    uint64_t total = 0;
    for (size_t start = 0; start < length; start += kBiasBytes) {
        const uint8_t* stretch = filtered + start;
        size_t count = std::min(kBiasBytes, length - start);
        int sum = 0;
        for (size_t i = 0; i < count; ++i)
            sum += std::abs(int(uint8_t(stretch[i] ^ 0x80)) - int(kBias[i]));
        total += uint64_t(sum);
    }
    return total;
}

template <size_t bpp>
using FilterFunction = void (*)(const uint8_t*, const uint8_t*, uint8_t*, size_t);

template <size_t bpp>
FilterFunction<bpp> filterFor(PNGRowFilter filter)
{
    switch (filter) {
    case PNGRowFilter::sub:
        return filterSub<bpp>;
    case PNGRowFilter::up:
        return filterUp<bpp>;
    case PNGRowFilter::average:
        return filterAverage<bpp>;
    case PNGRowFilter::paeth:
        return filterPaeth<bpp>;
    default:
        return nullptr;
    }
}

// The filters `adaptive` weighs, and those it weighed before average was added.
constexpr PNGRowFilter kAdaptiveCandidates[] = { PNGRowFilter::sub, PNGRowFilter::up, PNGRowFilter::average, PNGRowFilter::paeth };
constexpr PNGRowFilter kCandidatesWithoutAverage[] = { PNGRowFilter::sub, PNGRowFilter::up, PNGRowFilter::paeth };

bool isAdaptive(PNGRowFilter filter)
{
    return filter == PNGRowFilter::adaptive || filter == PNGRowFilter::adaptiveWithoutAverage;
}

// Walking a deflated part with inflate to find its last block costs about this much of
// what filtering and deflating the part cost (measured on photo-like wallpapers).
constexpr double kWalkCostPerDeflateCost = 0.5;

struct RowRange {
    uint32_t first;
    uint32_t end;
};

// Turns rows of the bitmap into the PNG's filtered scanlines: one filter-type byte, then
// the row. A range that does not start at the top takes the row above it as its prior,
// so that its scanlines are exactly those of the whole picture.
template <size_t bpp>
class ScanlineWriter {
public:
    ScanlineWriter(const Bitmap& bitmap, PNGRowFilter filter, RowRange rows)
        : m_bitmap(bitmap)
        , m_filter(filter)
        , m_rows(rows)
        , m_rowLength(size_t(bitmap.width) * bpp)
        , m_current(bpp + m_rowLength, 0)
        , m_prior(bpp + m_rowLength, 0)
    {
        if (isAdaptive(m_filter)) {
            for (auto& candidate : m_candidates)
                candidate.resize(m_rowLength);
        }
        if (m_rows.first > 0) {
            pack(m_rows.first - 1);
            std::swap(m_current, m_prior);
        }
    }

    size_t outputSize() const { return size_t(m_rows.end - m_rows.first) * (1 + m_rowLength); }

    void write(uint8_t* out)
    {
        for (uint32_t y = m_rows.first; y < m_rows.end; ++y) {
            pack(y);
            writeRow(out);
            out += 1 + m_rowLength;
            std::swap(m_current, m_prior);
        }
    }

private:
    void pack(uint32_t y)
    {
        if constexpr (bpp == 3)
            packOpaqueRow(m_bitmap.row(y), m_current.data() + bpp, m_bitmap.width);
        else
            packRowWithAlpha(m_bitmap.row(y), m_current.data() + bpp, m_bitmap.width);
    }

    void writeRow(uint8_t* out)
    {
        const uint8_t* raw = m_current.data() + bpp;
        const uint8_t* prior = m_prior.data() + bpp;
        if (m_filter == PNGRowFilter::none) {
            out[0] = uint8_t(PNGRowFilter::none);
            std::memcpy(out + 1, raw, m_rowLength);
        } else if (m_filter == PNGRowFilter::adaptive) {
            writeCheapestRow(kAdaptiveCandidates, raw, prior, out);
        } else if (m_filter == PNGRowFilter::adaptiveWithoutAverage) {
            writeCheapestRow(kCandidatesWithoutAverage, raw, prior, out);
        } else {
            out[0] = uint8_t(m_filter);
            filterFor<bpp>(m_filter)(raw, prior, out + 1, m_rowLength);
        }
    }

    void writeCheapestRow(std::span<const PNGRowFilter> candidates, const uint8_t* raw, const uint8_t* prior, uint8_t* out)
    {
        size_t best = 0;
        uint64_t bestCost = UINT64_MAX;
        for (size_t i = 0; i < candidates.size(); ++i) {
            filterFor<bpp>(candidates[i])(raw, prior, m_candidates[i].data(), m_rowLength);
            uint64_t cost = residualCost(m_candidates[i].data(), m_rowLength);
            if (cost < bestCost) {
                bestCost = cost;
                best = i;
            }
        }
        out[0] = uint8_t(candidates[best]);
        std::memcpy(out + 1, m_candidates[best].data(), m_rowLength);
    }

    const Bitmap& m_bitmap;
    PNGRowFilter m_filter;
    RowRange m_rows;
    size_t m_rowLength;
    std::vector<uint8_t> m_current;
    std::vector<uint8_t> m_prior;
    std::array<std::vector<uint8_t>, std::size(kAdaptiveCandidates)> m_candidates;
};

// What the encoder does with one picture: the options, with the deflater and the filter
// choice settled (encodingFor).
struct Encoding {
    PNGRowFilter filter;
    Deflater deflater;
    int level;
    unsigned parts;
    size_t minimumPartBytes;
};

// The sample that tells a photo from a picture that packs tighter: this many stretches of
// kSampleRows rows, spread evenly from the top (a sky and the ground below it both count).
constexpr uint32_t kSampleStretches = 8;
constexpr uint32_t kSampleRows = 4;
// Rows that igzip packs to less than this share of their size are not a photo's. Measured
// shares: photos 0.47 to 0.63, an enlarged photo 0.34, where igzip's files are 2.6 to 9.5%
// smaller than libdeflate's; the device's screens 0.18 to 0.2, gradients and the sample
// wallpapers 0.01 to 0.07, where they are mostly larger, by up to 37%.
constexpr double kPhotoLikeShare = 0.3;

template <size_t bpp>
bool packsLikeAPhoto(const Bitmap& bitmap)
{
    uint32_t stretches = std::min(kSampleStretches, std::max(1u, bitmap.height / kSampleRows));
    std::vector<uint8_t> sample;
    for (uint32_t i = 0; i < stretches; ++i) {
        uint32_t first = uint32_t(uint64_t(bitmap.height) * i / stretches);
        ScanlineWriter<bpp> writer(bitmap, PNGRowFilter::adaptive, { first, std::min(bitmap.height, first + kSampleRows) });
        size_t at = sample.size();
        sample.resize(at + writer.outputSize());
        writer.write(sample.data() + at);
    }
    DeflatePart deflated(sample, 1, true, Deflater::igzip);
    return double(deflated.bytes().size()) >= kPhotoLikeShare * double(sample.size());
}

// igzip stands in for libdeflate's fastest level.
constexpr int kIgzipInPlaceOfLevel = 1;

template <size_t bpp>
Encoding encodingFor(const Bitmap& bitmap, const PNGEncodeOptions& options)
{
    Encoding encoding { options.filter, Deflater::libdeflate, options.compressionLevel, options.parts, options.minimumPartBytes };
    if (options.deflater != PNGDeflater::bySample || std::clamp(options.compressionLevel, 0, 12) != kIgzipInPlaceOfLevel)
        return encoding;
    if (packsLikeAPhoto<bpp>(bitmap))
        encoding.deflater = Deflater::igzip;
    else if (encoding.filter == PNGRowFilter::adaptive)
        encoding.filter = PNGRowFilter::adaptiveWithoutAverage;
    return encoding;
}

// The rows above a band whose scanlines fill igzip's window, so that the band's stream
// goes on from the one before as a single stream would (none for libdeflate, which takes
// no dictionary). They are filtered again here: a few rows, the same bytes.
uint32_t historyRows(const Bitmap& bitmap, size_t bytesPerPixel, const Encoding& encoding, RowRange rows)
{
    if (encoding.deflater != Deflater::igzip)
        return 0;
    size_t scanlineBytes = 1 + size_t(bitmap.width) * bytesPerPixel;
    size_t wanted = (DeflatePart::kIgzipWindowBytes + scanlineBytes - 1) / scanlineBytes;
    return uint32_t(std::min<size_t>(rows.first, wanted));
}

template <size_t bpp>
DeflatePart deflateRows(const Bitmap& bitmap, const Encoding& encoding, RowRange rows, bool last)
{
    uint32_t history = historyRows(bitmap, bpp, encoding, rows);
    ScanlineWriter<bpp> writer(bitmap, encoding.filter, { rows.first - history, rows.end });
    // Not zeroed first: every byte is written.
    auto scanlines = std::make_unique_for_overwrite<uint8_t[]>(writer.outputSize());
    writer.write(scanlines.get());
    size_t historyBytes = size_t(history) * (1 + size_t(bitmap.width) * bpp);
    std::span<const uint8_t> all(scanlines.get(), writer.outputSize());
    return DeflatePart(all.subspan(historyBytes), encoding.level, last, encoding.deflater, all.first(historyBytes));
}

// The rows of each part. With libdeflate, a part that is not the last also has its
// stream walked once after deflating it (DeflatePart.h), so it gets fewer rows, and all
// end about together; igzip's parts end open by themselves and get equal shares.
std::vector<RowRange> partRows(const Bitmap& bitmap, size_t bytesPerPixel, const Encoding& encoding)
{
    size_t scanlineBytes = size_t(bitmap.height) * (1 + size_t(bitmap.width) * bytesPerPixel);
    size_t byBytes = encoding.minimumPartBytes == 0 ? SIZE_MAX : scanlineBytes / encoding.minimumPartBytes;
    size_t count = std::max<size_t>(1, std::min({ size_t(encoding.parts), size_t(bitmap.height), byBytes }));
    double lastWeight = encoding.deflater == Deflater::libdeflate ? 1 + kWalkCostPerDeflateCost : 1;
    double rowsPerOpenPart = double(bitmap.height) / (double(count - 1) + lastWeight);
    std::vector<RowRange> rows;
    uint32_t first = 0;
    for (size_t i = 0; i + 1 < count; ++i) {
        // At least one row for this part and for each after it.
        uint32_t end = uint32_t(double(i + 1) * rowsPerOpenPart + 0.5);
        end = std::clamp(end, first + 1, bitmap.height - uint32_t(count - 1 - i));
        rows.push_back({ first, end });
        first = end;
    }
    rows.push_back({ first, bitmap.height });
    return rows;
}

template <size_t bpp>
std::vector<DeflatePart> deflateInParts(const Bitmap& bitmap, const PNGEncodeOptions& options)
{
    Encoding encoding = encodingFor<bpp>(bitmap, options);
    std::vector<RowRange> rows = partRows(bitmap, bpp, encoding);
    std::vector<std::future<DeflatePart>> others;
    for (size_t i = 1; i < rows.size(); ++i) {
        // Deferred when no thread can be started: the part is then deflated by get(),
        // on this thread, after the first.
        others.push_back(std::async(std::launch::async | std::launch::deferred, [&bitmap, &encoding, range = rows[i], last = i + 1 == rows.size()] {
            return deflateRows<bpp>(bitmap, encoding, range, last);
        }));
    }
    std::vector<DeflatePart> parts;
    parts.push_back(deflateRows<bpp>(bitmap, encoding, rows[0], rows.size() == 1));
    for (auto& other : others)
        parts.push_back(other.get());
    return parts;
}

// The zlib stream, header, parts and trailer, in IDAT chunks.
void appendIDATChunks(std::vector<uint8_t>& out, const std::vector<DeflatePart>& parts, int level)
{
    std::vector<uint8_t> header = DeflatePart::zlibHeader(level);
    std::vector<uint8_t> trailer = DeflatePart::zlibTrailer(parts);
    std::vector<std::span<const uint8_t>> pieces { header };
    for (const DeflatePart& part : parts)
        pieces.push_back(part.bytes());
    pieces.push_back(trailer);

    size_t remaining = 0;
    for (auto piece : pieces)
        remaining += piece.size();
    auto piece = pieces.begin();
    size_t offsetInPiece = 0;
    while (remaining > 0) {
        size_t length = std::min(kMaxIDATLength, remaining);
        appendBigEndian32(out, uint32_t(length));
        size_t typeStart = out.size();
        out.insert(out.end(), { 'I', 'D', 'A', 'T' });
        for (size_t left = length; left > 0;) {
            size_t take = std::min(left, piece->size() - offsetInPiece);
            out.insert(out.end(), piece->begin() + ptrdiff_t(offsetInPiece), piece->begin() + ptrdiff_t(offsetInPiece + take));
            left -= take;
            offsetInPiece += take;
            if (offsetInPiece == piece->size()) {
                ++piece;
                offsetInPiece = 0;
            }
        }
        appendBigEndian32(out, libdeflate_crc32(0, out.data() + typeStart, 4 + length));
        remaining -= length;
    }
}

} // namespace

std::vector<uint8_t> encodePNG(const Bitmap& bitmap, const PNGEncodeOptions& options)
{
    requireWellFormed(bitmap, "encodePNG");
    bool opaque = bitmap.isOpaque();
    std::vector<DeflatePart> parts = opaque ? deflateInParts<3>(bitmap, options) : deflateInParts<4>(bitmap, options);
    size_t deflatedBytes = 0;
    for (const DeflatePart& part : parts)
        deflatedBytes += part.bytes().size();
    std::vector<uint8_t> png;
    // The header, the zlib stream's own six bytes, and twelve bytes around each chunk.
    png.reserve(64 + deflatedBytes + (deflatedBytes / kMaxIDATLength + 2) * 12);
    appendHeader(png, bitmap, opaque ? kColourTypeRGB : kColourTypeRGBA);
    appendIDATChunks(png, parts, options.compressionLevel);
    appendChunk(png, "IEND", nullptr, 0);
    return png;
}
