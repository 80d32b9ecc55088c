#include "CPBitmap.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace {

using ::testing::HasSubstr;

// A file written straight from the layout, byte by byte, independently of the encoder.
// Padding is 0xEE, not zero, so a decoder that reads padding as pixels is caught.
struct FileSpec {
    CPBitmapTrailer trailer = CPBitmapTrailer::current;
    uint32_t width = 1;
    uint32_t height = 1;
    uint32_t format = 1;
    uint32_t imageCount = 1;
    std::vector<uint8_t> colourSpacePlist;
    std::vector<uint8_t> infoPlist;
    uint8_t padding = 0xEE;
};

// Pixel (x, y) of image i: valid premultiplied data that differs between images, rows
// and columns. In format 0 files the fourth byte is junk the decoder must ignore.
std::array<uint8_t, 4> filePixel(const FileSpec& spec, uint32_t image, uint32_t x, uint32_t y)
{
    uint8_t alpha = uint8_t(97 + x * 7 + y * 13 + image * 31);
    if (spec.format == 0)
        return { uint8_t(x * 3 + image), uint8_t(y * 5), uint8_t(x + y + 200), 0x5A };
    return { uint8_t((x + image) % (alpha + 1u)), uint8_t(y % (alpha + 1u)), uint8_t(alpha / 2), alpha };
}

Bitmap expectedImage(const FileSpec& spec, uint32_t image)
{
    Bitmap bitmap = Bitmap::transparent(spec.width, spec.height);
    for (uint32_t y = 0; y < spec.height; ++y) {
        for (uint32_t x = 0; x < spec.width; ++x) {
            auto pixel = filePixel(spec, image, x, y);
            if (spec.format == 0)
                pixel[3] = 255;
            std::copy(pixel.begin(), pixel.end(), bitmap.row(y) + x * 4);
        }
    }
    return bitmap;
}

void append32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(uint8_t(value >> shift));
}

std::vector<uint8_t> buildFile(const FileSpec& spec)
{
    bool current = spec.trailer == CPBitmapTrailer::current;
    uint32_t alignment = current ? 16 : 8;
    uint32_t paddedWidth = (spec.width + alignment - 1) / alignment * alignment;
    std::vector<uint8_t> file;
    for (uint32_t image = 0; image < spec.imageCount; ++image) {
        if (image > 0)
            file.resize((file.size() + 4095) / 4096 * 4096, spec.padding);
        for (uint32_t y = 0; y < spec.height; ++y) {
            for (uint32_t x = 0; x < paddedWidth; ++x) {
                auto pixel = x < spec.width ? filePixel(spec, image, x, y) : std::array<uint8_t, 4> { spec.padding, spec.padding, spec.padding, spec.padding };
                file.insert(file.end(), pixel.begin(), pixel.end());
            }
        }
    }
    file.insert(file.end(), spec.colourSpacePlist.begin(), spec.colourSpacePlist.end());
    file.insert(file.end(), spec.infoPlist.begin(), spec.infoPlist.end());
    if (current)
        append32(file, uint32_t(spec.colourSpacePlist.size()));
    append32(file, uint32_t(spec.infoPlist.size()));
    append32(file, spec.width);
    append32(file, spec.height);
    append32(file, spec.format);
    append32(file, spec.imageCount);
    append32(file, current ? kCPBitmapCurrentMagic : kCPBitmapLegacyMagic);
    return file;
}

// --- Well-formed files -------------------------------------------------------------

struct WellFormedCase {
    uint32_t width;
    CPBitmapTrailer trailer;
    uint32_t format;
    uint32_t imageCount;
};

class CPBitmapDecoding : public ::testing::TestWithParam<WellFormedCase> { };

TEST_P(CPBitmapDecoding, DecodesEveryImageWithoutRowPadding)
{
    FileSpec spec;
    spec.trailer = GetParam().trailer;
    spec.width = GetParam().width;
    spec.height = 3;
    spec.format = GetParam().format;
    spec.imageCount = GetParam().imageCount;
    if (spec.imageCount > 1) {
        spec.colourSpacePlist = spec.trailer == CPBitmapTrailer::current ? std::vector<uint8_t>(37, 'c') : std::vector<uint8_t> {};
        spec.infoPlist = std::vector<uint8_t>(101, 'i');
    }
    std::string why;
    std::vector<Bitmap> images = decodeCPBitmap(buildFile(spec), &why);
    ASSERT_EQ(images.size(), spec.imageCount) << why;
    for (uint32_t i = 0; i < spec.imageCount; ++i) {
        EXPECT_EQ(images[i].width, spec.width);
        EXPECT_EQ(images[i].height, spec.height);
        EXPECT_TRUE(images[i] == expectedImage(spec, i)) << "image " << i;
    }
}

std::vector<WellFormedCase> wellFormedCases()
{
    std::vector<WellFormedCase> cases;
    for (uint32_t width : { 1u, 16u, 17u, 1170u, 1284u, 2048u }) {
        for (CPBitmapTrailer trailer : { CPBitmapTrailer::current, CPBitmapTrailer::legacy }) {
            for (uint32_t format : { 0u, 1u }) {
                for (uint32_t count : { 1u, 3u })
                    cases.push_back({ width, trailer, format, count });
            }
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(WidthsTrailersFormatsCounts, CPBitmapDecoding, ::testing::ValuesIn(wellFormedCases()),
    [](const auto& info) {
        const WellFormedCase& c = info.param;
        return "width" + std::to_string(c.width) + (c.trailer == CPBitmapTrailer::current ? "_current" : "_legacy")
            + "_format" + std::to_string(c.format) + "_images" + std::to_string(c.imageCount);
    });

TEST(CPBitmapDecodingDetails, ColourAboveAlphaIsLoweredToIt)
{
    FileSpec spec;
    std::vector<uint8_t> file = buildFile(spec);
    file[0] = 250, file[1] = 10, file[2] = 200, file[3] = 100; // B and R above alpha
    std::vector<Bitmap> images = decodeCPBitmap(file);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].pixels, (std::vector<uint8_t> { 100, 10, 100, 100 }));
}

TEST(CPBitmapDecodingDetails, AWallpaperSizedImageIsReadWholeAndExactly)
{
    // Large enough to be read in two bands at once; colour above alpha in both bands.
    for (uint32_t format : { 0u, 1u }) {
        FileSpec spec;
        spec.width = 1170;
        spec.height = 1001;
        spec.format = format;
        std::vector<uint8_t> file = buildFile(spec);
        Bitmap expected = expectedImage(spec, 0);
        size_t paddedRowBytes = 1184 * 4;
        for (uint32_t y : { 0u, 500u, 501u, 1000u }) {
            std::array<uint8_t, 4> stored { 255, 10, 30, 40 };
            std::array<uint8_t, 4> read = format == 0 ? std::array<uint8_t, 4> { 255, 10, 30, 255 } : std::array<uint8_t, 4> { 40, 10, 30, 40 };
            std::copy(stored.begin(), stored.end(), &file[y * paddedRowBytes + 4 * 9]);
            std::copy(read.begin(), read.end(), expected.row(y) + 4 * 9);
        }
        std::vector<Bitmap> images = decodeCPBitmap(file);
        ASSERT_EQ(images.size(), 1u);
        EXPECT_TRUE(images[0] == expected) << "format " << format;
    }
}

// --- Malformed files ---------------------------------------------------------------

// Offsets of the trailer fields of the default (current) file, counted from its end.
constexpr size_t kWidthFromEnd = 20, kHeightFromEnd = 16, kFormatFromEnd = 12, kCountFromEnd = 8, kMagicFromEnd = 4;
constexpr size_t kColourSpaceLengthFromEnd = 28, kInfoLengthFromEnd = 24;

void put32(std::vector<uint8_t>& file, size_t fromEnd, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        file[file.size() - fromEnd + i] = uint8_t(value >> (8 * i));
}

struct MalformedCase {
    const char* name;
    std::function<std::vector<uint8_t>()> makeFile;
    const char* reason;
};

std::vector<uint8_t> validFile(uint32_t width = 17, uint32_t height = 3, uint32_t count = 2)
{
    FileSpec spec;
    spec.width = width;
    spec.height = height;
    spec.imageCount = count;
    return buildFile(spec);
}

std::vector<uint8_t> withField(size_t fromEnd, uint32_t value)
{
    std::vector<uint8_t> file = validFile();
    put32(file, fromEnd, value);
    return file;
}

class CPBitmapRejection : public ::testing::TestWithParam<MalformedCase> { };

TEST_P(CPBitmapRejection, GivesNoImageAndSaysWhy)
{
    std::string why;
    EXPECT_TRUE(decodeCPBitmap(GetParam().makeFile(), &why).empty());
    EXPECT_THAT(why, HasSubstr(GetParam().reason));
}

const MalformedCase malformedCases[] = {
    { "Empty", [] { return std::vector<uint8_t> {}; }, "too short for a trailer" },
    { "ThreeBytes", [] { return std::vector<uint8_t>(3, 0); }, "too short for a trailer" },
    { "CurrentMagicInTwentySevenBytes",
        [] {
            std::vector<uint8_t> file(27, 0);
            put32(file, 4, kCPBitmapCurrentMagic);
            return file;
        },
        "27 bytes are too short for a trailer of 28" },
    { "LegacyMagicInTwentyThreeBytes",
        [] {
            std::vector<uint8_t> file(23, 0);
            put32(file, 4, kCPBitmapLegacyMagic);
            return file;
        },
        "23 bytes are too short for a trailer of 24" },
    { "TrailerWithoutPixels",
        [] {
            std::vector<uint8_t> file = validFile();
            return std::vector<uint8_t>(file.end() - 28, file.end());
        },
        "trailer describes" },
    { "TruncatedByOneByte",
        [] {
            std::vector<uint8_t> file = validFile();
            file.erase(file.begin());
            return file;
        },
        "trailer describes" },
    { "OneByteTooMany",
        [] {
            std::vector<uint8_t> file = validFile();
            file.insert(file.begin(), 0);
            return file;
        },
        "trailer describes" },
    { "ByteAfterTheTrailer",
        [] {
            std::vector<uint8_t> file = validFile();
            file.push_back(0);
            return file;
        },
        "unknown magic" },
    { "LastImagePaddedLikeTheOthers",
        [] {
            std::vector<uint8_t> file = validFile();
            file.insert(file.end() - 28, 4096 - (17 + 15) / 16 * 16 * 4 * 3, 0);
            return file;
        },
        "trailer describes" },
    { "BadMagic", [] { return withField(kMagicFromEnd, 0xDCB543A3); }, "unknown magic" },
    { "LegacyMagicOnCurrentLayout", [] { return withField(kMagicFromEnd, kCPBitmapLegacyMagic); }, "trailer describes" },
    { "FormatTwo", [] { return withField(kFormatFromEnd, 2); }, "pixel format 2" },
    { "ZeroWidth", [] { return withField(kWidthFromEnd, 0); }, "size 0x3" },
    { "ZeroHeight", [] { return withField(kHeightFromEnd, 0); }, "size 17x0" },
    { "WidthBeyondLimit", [] { return withField(kWidthFromEnd, 32769); }, "beyond the limits" },
    { "MaximalDimensions",
        [] {
            std::vector<uint8_t> file = validFile();
            put32(file, kWidthFromEnd, 0xFFFFFFFF);
            put32(file, kHeightFromEnd, 0xFFFFFFFF);
            return file;
        },
        "beyond the limits" },
    { "PixelCountBeyondLimit",
        [] {
            std::vector<uint8_t> file = validFile();
            put32(file, kWidthFromEnd, 32768);
            put32(file, kHeightFromEnd, 32768);
            return file;
        },
        "beyond the limits" },
    { "DecodedSizeBeyondLimit",
        [] {
            std::vector<uint8_t> file = validFile();
            put32(file, kWidthFromEnd, 8192);
            put32(file, kHeightFromEnd, 8192);
            return file;
        },
        "decodes to 268435456 bytes" },
    { "NoImages", [] { return withField(kCountFromEnd, 0); }, "no images" },
    { "HugeImageCount", [] { return withField(kCountFromEnd, 0xFFFFFFFF); }, "trailer describes" },
    { "MoreImagesThanTheFileHolds", [] { return withField(kCountFromEnd, 3); }, "trailer describes" },
    { "HugeColourSpacePlist", [] { return withField(kColourSpaceLengthFromEnd, 0xFFFFFFFF); }, "trailer describes" },
    { "HugeInfoPlist", [] { return withField(kInfoLengthFromEnd, 0xFFFFFFFF); }, "trailer describes" },
    { "LegacyFileCutShort",
        [] {
            FileSpec spec;
            spec.trailer = CPBitmapTrailer::legacy;
            spec.width = 9;
            std::vector<uint8_t> file = buildFile(spec);
            file.erase(file.begin(), file.begin() + 4);
            return file;
        },
        "trailer describes" },
};

INSTANTIATE_TEST_SUITE_P(Malformed, CPBitmapRejection, ::testing::ValuesIn(malformedCases),
    [](const auto& info) { return std::string(info.param.name); });

// --- Encoding ----------------------------------------------------------------------

TEST(CPBitmapEncoding, WritesTheDocumentedLayout)
{
    for (CPBitmapTrailer trailer : { CPBitmapTrailer::current, CPBitmapTrailer::legacy }) {
        FileSpec spec;
        spec.trailer = trailer;
        spec.width = 21;
        spec.height = 4;
        spec.imageCount = 3;
        spec.padding = 0;
        std::vector<Bitmap> images { expectedImage(spec, 0), expectedImage(spec, 1), expectedImage(spec, 2) };
        EXPECT_EQ(encodeCPBitmap(images, trailer), buildFile(spec));
    }
}

TEST(CPBitmapEncoding, SingleImageRoundTripsWithCurrentTrailer)
{
    FileSpec spec;
    spec.width = 1284;
    spec.height = 5;
    Bitmap image = expectedImage(spec, 0);
    std::vector<uint8_t> file = encodeCPBitmap(image);
    EXPECT_EQ(file.size(), 1296u * 4 * 5 + 28);
    std::vector<Bitmap> decoded = decodeCPBitmap(file);
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_TRUE(decoded[0] == image);
}

TEST(CPBitmapEncoding, OpaqueFormatDropsAlphaAsOverBlack)
{
    Bitmap translucent = Bitmap::transparent(2, 1);
    translucent.pixels = { 10, 20, 30, 40, 0, 0, 0, 0 };
    std::vector<Bitmap> decoded = decodeCPBitmap(
        encodeCPBitmap(std::span<const Bitmap>(&translucent, 1), CPBitmapTrailer::legacy, CPBitmapPixelFormat::bgrx));
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(decoded[0].pixels, (std::vector<uint8_t> { 10, 20, 30, 255, 0, 0, 0, 255 }));
}

TEST(CPBitmapEncoding, RefusesWhatNoFileCanHold)
{
    Bitmap small = Bitmap::transparent(2, 2);
    Bitmap other = Bitmap::transparent(3, 2);
    Bitmap malformed = small;
    malformed.pixels.pop_back();
    std::vector<Bitmap> mixed { small, other };
    EXPECT_THROW(encodeCPBitmap(std::span<const Bitmap> {}), std::invalid_argument);
    EXPECT_THROW(encodeCPBitmap(mixed), std::invalid_argument);
    EXPECT_THROW(encodeCPBitmap(malformed), std::invalid_argument);
}

} // namespace
