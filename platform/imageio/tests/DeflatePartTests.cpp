#include "DeflatePart.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>

namespace {

// Data that deflates into many blocks of every kind libdeflate writes: runs, repeats of
// earlier stretches, and noise.
std::vector<uint8_t> mixedData(size_t length, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> data;
    data.reserve(length);
    while (data.size() < length) {
        size_t run = 1 + random() % 300;
        switch (random() % 3) {
        case 0:
            data.insert(data.end(), run, uint8_t(random()));
            break;
        case 1:
            for (size_t i = 0; i < run; ++i)
                data.push_back(data.empty() ? 0 : data[data.size() - 1 - random() % std::min<size_t>(data.size(), 40)]);
            break;
        default:
            for (size_t i = 0; i < run; ++i)
                data.push_back(uint8_t(random()));
        }
    }
    data.resize(length);
    return data;
}

// The data cut at `cuts`, each piece deflated as a part (given the data before it as its
// history) by the deflater of its place in `deflaters` (the last one for the rest),
// joined into a zlib stream.
std::vector<uint8_t> deflateInParts(const std::vector<uint8_t>& data, const std::vector<size_t>& cuts, int level,
    const std::vector<Deflater>& deflaters = { Deflater::libdeflate })
{
    std::vector<DeflatePart> parts;
    size_t start = 0;
    for (size_t i = 0; i <= cuts.size(); ++i) {
        size_t end = i < cuts.size() ? cuts[i] : data.size();
        Deflater deflater = deflaters[std::min(i, deflaters.size() - 1)];
        parts.emplace_back(std::span(data).subspan(start, end - start), level, i == cuts.size(), deflater, std::span(data).first(start));
        start = end;
    }
    std::vector<uint8_t> stream = DeflatePart::zlibHeader(level);
    for (const DeflatePart& part : parts)
        stream.insert(stream.end(), part.bytes().begin(), part.bytes().end());
    std::vector<uint8_t> trailer = DeflatePart::zlibTrailer(parts);
    stream.insert(stream.end(), trailer.begin(), trailer.end());
    return stream;
}

// zlib's own reader: checks the header, every block and the Adler-32 of the whole.
std::vector<uint8_t> inflateWithZlib(const std::vector<uint8_t>& stream, size_t length)
{
    std::vector<uint8_t> data(length + 1);
    uLongf produced = data.size();
    int status = uncompress(data.data(), &produced, stream.data(), stream.size());
    EXPECT_EQ(status, Z_OK);
    data.resize(produced);
    return data;
}

TEST(DeflatePart, JoinedPartsInflateToTheWholeDataAtEveryLevel)
{
    // Many lengths, so that the first parts' last blocks end at every bit of a byte and
    // the empty stored block's header both fits in that byte and does not.
    std::vector<uint8_t> data = mixedData(300000, 5);
    for (int level : { 0, 1, 6, 12 }) {
        for (size_t cut : { size_t(1), size_t(2), size_t(77), size_t(4099), size_t(150000), size_t(299999) }) {
            std::vector<uint8_t> stream = deflateInParts(data, { cut }, level);
            EXPECT_EQ(inflateWithZlib(stream, data.size()), data) << "level " << level << ", cut at " << cut;
        }
    }
    for (uint32_t seed = 0; seed < 64; ++seed) {
        std::vector<uint8_t> small = mixedData(20 + seed * 37, seed);
        std::vector<uint8_t> stream = deflateInParts(small, { small.size() / 3, small.size() / 2 }, 1);
        EXPECT_EQ(inflateWithZlib(stream, small.size()), small) << "seed " << seed;
    }
}

// Noise, which packs as poorly as a photo's rows, and runs, which pack far tighter.
std::vector<uint8_t> noise(size_t length, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> data(length);
    for (uint8_t& byte : data)
        byte = uint8_t(random() % 200);
    return data;
}

std::vector<uint8_t> concatenated(std::initializer_list<std::vector<uint8_t>> pieces)
{
    std::vector<uint8_t> all;
    for (const auto& piece : pieces)
        all.insert(all.end(), piece.begin(), piece.end());
    return all;
}

TEST(DeflatePart, IgzipPartsAndLibdeflatePartsJoinInAnyOrder)
{
    // Noise, runs and repeats, cut at many places (parts tiny and large, first and last),
    // the parts' deflaters alternating either way, or igzip's alone. An igzip part after
    // another matches into the data before it.
    std::vector<uint8_t> data = concatenated({ noise(70000, 1), std::vector<uint8_t>(90000, 7), noise(50001, 2),
        mixedData(30000, 4), std::vector<uint8_t>(60000, 9) });
    using Order = std::vector<Deflater>;
    for (Order order : { Order { Deflater::igzip }, Order { Deflater::igzip, Deflater::libdeflate, Deflater::igzip, Deflater::libdeflate },
             Order { Deflater::libdeflate, Deflater::igzip, Deflater::libdeflate, Deflater::igzip } }) {
        for (std::vector<size_t> cuts : std::vector<std::vector<size_t>> { {}, { 1 }, { 70000 }, { 69999, 160000 },
                 { 100000, 160001, 210001 }, { 5, 6, 7 }, { 213000, data.size() - 1 } }) {
            std::vector<uint8_t> stream = deflateInParts(data, cuts, 1, order);
            EXPECT_EQ(inflateWithZlib(stream, data.size()), data)
                << "cuts " << ::testing::PrintToString(cuts) << ", the first part by " << (order[0] == Deflater::igzip ? "igzip" : "libdeflate");
        }
    }
}

TEST(DeflatePart, AnIgzipPartReachesBackIntoItsHistory)
{
    // The second part goes on repeating the last window's bytes of the first: with the
    // first part as its history (longer than the window: its end counts), it is matches
    // from its first byte; without, its first window is literals.
    std::vector<uint8_t> first = noise(50000, 3);
    std::vector<uint8_t> data = first;
    for (size_t i = 0; i < 5000; ++i)
        data.push_back(data[data.size() - DeflatePart::kIgzipWindowBytes]);
    std::span<const uint8_t> second = std::span(data).subspan(first.size());
    DeflatePart withHistory(second, 1, true, Deflater::igzip, std::span(data).first(first.size()));
    DeflatePart withoutHistory(second, 1, true, Deflater::igzip);
    EXPECT_LT(withHistory.bytes().size() + DeflatePart::kIgzipWindowBytes / 2, withoutHistory.bytes().size());
    EXPECT_EQ(inflateWithZlib(deflateInParts(data, { first.size() }, 1, { Deflater::igzip }), data.size()), data);
}

TEST(DeflatePart, OnePartIsLibdeflatesOwnZlibStream)
{
    std::vector<uint8_t> data = mixedData(100000, 9);
    std::vector<uint8_t> stream = deflateInParts(data, {}, 1);
    EXPECT_EQ(stream[0], 0x78);
    EXPECT_EQ((stream[0] << 8 | stream[1]) % 31, 0);
    EXPECT_EQ(inflateWithZlib(stream, data.size()), data);
}

class OpenPart : public ::testing::TestWithParam<Deflater> { };

TEST_P(OpenPart, EndsOnAByteBoundaryWithAnEmptyStoredBlock)
{
    std::vector<uint8_t> data = mixedData(5000, 3);
    DeflatePart open(data, 1, false, GetParam());
    DeflatePart closed(data, 1, true, GetParam());
    ASSERT_GE(open.bytes().size(), 4u);
    EXPECT_EQ(std::vector<uint8_t>(open.bytes().end() - 4, open.bytes().end()), (std::vector<uint8_t> { 0, 0, 0xFF, 0xFF }));
    EXPECT_LE(open.bytes().size(), closed.bytes().size() + 5);
    EXPECT_EQ(open.dataLength(), data.size());
    EXPECT_EQ(open.adler32(), adler32(1, data.data(), uInt(data.size())));

    // Alone, the open part reads as a stream that never ends.
    z_stream inflater {};
    ASSERT_EQ(inflateInit2(&inflater, -MAX_WBITS), Z_OK);
    std::vector<uint8_t> out(data.size() + 16);
    inflater.next_in = const_cast<Bytef*>(open.bytes().data());
    inflater.avail_in = uInt(open.bytes().size());
    inflater.next_out = out.data();
    inflater.avail_out = uInt(out.size());
    EXPECT_EQ(inflate(&inflater, Z_FINISH), Z_BUF_ERROR);
    EXPECT_EQ(inflater.total_out, data.size());
    inflateEnd(&inflater);
}

INSTANTIATE_TEST_SUITE_P(BothDeflaters, OpenPart, ::testing::Values(Deflater::libdeflate, Deflater::igzip),
    [](const ::testing::TestParamInfo<Deflater>& info) { return info.param == Deflater::igzip ? "igzip" : "libdeflate"; });

} // namespace
