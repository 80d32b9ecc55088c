#include "PNGDecoder.h"
#include "ImageDecoder.h"
#include "PNGEncoder.h"
#include "TestImages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <optional>
#include <string>
#include <tuple>

namespace {

using ::testing::HasSubstr;

// --- Reading with libpng, the reference reader ---------------------------------------

struct ReferenceImage {
    uint32_t width = 0, height = 0;
    bool hasAlpha = false;
    std::vector<uint8_t> rgba; // straight alpha
};

std::optional<ReferenceImage> readWithLibpng(const std::vector<uint8_t>& png)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size()))
        return std::nullopt;
    ReferenceImage result;
    result.width = image.width;
    result.height = image.height;
    result.hasAlpha = image.format & PNG_FORMAT_FLAG_ALPHA;
    image.format = PNG_FORMAT_RGBA;
    result.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return result;
}

// The chunk types of a PNG in order, read by walking the length fields.
std::vector<std::string> chunkTypes(const std::vector<uint8_t>& png)
{
    std::vector<std::string> types;
    for (size_t at = 8; at + 12 <= png.size();) {
        uint32_t length = uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        types.emplace_back(reinterpret_cast<const char*>(&png[at + 4]), 4);
        at += 12 + size_t(length);
    }
    return types;
}

// --- The encoder, checked by libpng -------------------------------------------------

struct EncodeCase {
    uint32_t width, height;
    bool opaque;
    PNGRowFilter filter;
    int level;
};

class PNGEncoding : public ::testing::TestWithParam<EncodeCase> { };

// libpng reads `png` as `bitmap`'s pixels, un-premultiplied as the encoder documents.
void expectLibpngReadsThePixels(const std::vector<uint8_t>& png, const Bitmap& bitmap, bool opaque)
{
    std::optional<ReferenceImage> read = readWithLibpng(png);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->width, bitmap.width);
    ASSERT_EQ(read->height, bitmap.height);
    EXPECT_EQ(read->hasAlpha, !opaque);
    for (size_t i = 0; i < bitmap.pixels.size(); i += 4) {
        const uint8_t* in = &bitmap.pixels[i];
        const uint8_t* out = &read->rgba[i];
        uint8_t alpha = in[3];
        ASSERT_EQ(out[3], alpha) << "pixel " << i / 4;
        ASSERT_EQ(out[0], unpremultiplyComponent(in[2], alpha)) << "pixel " << i / 4;
        ASSERT_EQ(out[1], unpremultiplyComponent(in[1], alpha)) << "pixel " << i / 4;
        ASSERT_EQ(out[2], unpremultiplyComponent(in[0], alpha)) << "pixel " << i / 4;
    }
}

TEST_P(PNGEncoding, LibpngReadsTheDocumentedPixels)
{
    const EncodeCase& c = GetParam();
    Bitmap bitmap = testimages::noise(c.width, c.height, c.opaque, c.width * 31 + c.height);
    expectLibpngReadsThePixels(encodePNG(bitmap, { c.level, c.filter }), bitmap, c.opaque);
}

std::vector<EncodeCase> encodeCases()
{
    std::vector<EncodeCase> cases;
    for (auto [width, height] : { std::pair { 1u, 1u }, { 2u, 3u }, { 7u, 5u }, { 33u, 17u }, { 1284u, 4u } }) {
        for (bool opaque : { true, false }) {
            for (PNGRowFilter filter : { PNGRowFilter::adaptive, PNGRowFilter::none, PNGRowFilter::sub, PNGRowFilter::up,
                     PNGRowFilter::average, PNGRowFilter::paeth })
                cases.push_back({ width, height, opaque, filter, 1 });
        }
    }
    cases.push_back({ 64, 64, false, PNGRowFilter::adaptive, 0 });
    cases.push_back({ 64, 64, true, PNGRowFilter::adaptive, 12 });
    return cases;
}

INSTANTIATE_TEST_SUITE_P(SizesOpacityFilters, PNGEncoding, ::testing::ValuesIn(encodeCases()), [](const auto& info) {
    const EncodeCase& c = info.param;
    return std::to_string(c.width) + "x" + std::to_string(c.height) + (c.opaque ? "_opaque" : "_translucent") + "_filter"
        + std::to_string(int(c.filter)) + "_level" + std::to_string(c.level);
});

TEST(PNGEncodingDetails, AdaptiveFilterPicksTheFilterThatFitsEachRow)
{
    // Rows that repeat the row above suit "up"; a row that climbs in steps of one pixel
    // suits "sub".
    Bitmap bitmap = Bitmap::transparent(64, 3);
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 64; ++x) {
            uint8_t* p = bitmap.row(y) + x * 4;
            uint8_t value = y < 2 ? uint8_t((x * 37) ^ 0x5C) : uint8_t(x * 3);
            p[0] = p[1] = p[2] = value;
            p[3] = 255;
        }
    }
    std::vector<uint8_t> png = encodePNG(bitmap, { 0, PNGRowFilter::adaptive });
    // Level 0 stores the scanlines: after the 2-byte zlib header and the 5-byte stored
    // block header, each row starts with its filter type.
    size_t scanlines = 8 + 25 + 8 + 2 + 5;
    size_t rowLength = 1 + 64 * 3;
    EXPECT_EQ(png[scanlines + rowLength], uint8_t(PNGRowFilter::up));
    EXPECT_EQ(png[scanlines + 2 * rowLength], uint8_t(PNGRowFilter::sub));
}

TEST(PNGEncodingDetails, LargeImagesSpreadOverSeveralIDATChunks)
{
    Bitmap bitmap = testimages::noise(1024, 400, true);
    std::vector<uint8_t> png = encodePNG(bitmap);
    std::vector<std::string> types = chunkTypes(png);
    ASSERT_GE(types.size(), 4u);
    EXPECT_EQ(types.front(), "IHDR");
    EXPECT_EQ(types.back(), "IEND");
    EXPECT_EQ(std::count(types.begin(), types.end(), "IDAT"), long(types.size() - 2));
    ASSERT_TRUE(readWithLibpng(png));
}

TEST(PNGEncodingDetails, RoundTripsThroughTheDecoderExactly)
{
    for (bool opaque : { true, false }) {
        Bitmap bitmap = testimages::noise(97, 41, opaque, 7);
        std::string error;
        std::optional<Bitmap> decoded = decodePNG(encodePNG(bitmap), &error);
        ASSERT_TRUE(decoded) << error;
        EXPECT_TRUE(*decoded == bitmap);
    }
}

// --- The encoder in bands deflated at once ----------------------------------------------

// A picture with a photo's parts: a smooth sky, hard-edged blocks, and noise over a band.
Bitmap photoLike(uint32_t width, uint32_t height, bool opaque)
{
    Bitmap bitmap = testimages::gradient(width, height);
    Bitmap noise = testimages::noise(width, height, opaque, width ^ height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = bitmap.row(y) + x * 4;
            if (y % 64 < 20 && x % 50 < 30)
                p[0] = p[1] = p[2] = uint8_t(x / 50 * 40);
            if (!opaque || (y > height / 2 && y < height * 3 / 4))
                std::copy_n(noise.row(y) + x * 4, 4, p);
        }
    }
    return bitmap;
}

PNGEncodeOptions libdeflateAlone(PNGEncodeOptions options)
{
    options.deflater = PNGDeflater::libdeflate;
    return options;
}

struct BandCase {
    uint32_t width, height;
    unsigned parts;
};

TEST(PNGEncodingInBands, LibpngAndTheDecoderReadEveryPixelBack)
{
    // One row (never cut), a tiny picture, odd heights cut into two and three bands, and
    // bands of one row each.
    // Each as the sample decides (noise goes to igzip) and with libdeflate alone.
    for (BandCase c : { BandCase { 640, 1, 2 }, { 1, 1, 2 }, { 2, 1, 3 }, { 2, 2, 2 }, { 3, 3, 3 }, { 7, 5, 2 }, { 301, 257, 2 },
             { 301, 257, 3 }, { 1000, 301, 2 }, { 1943, 40, 2 } }) {
        for (auto [opaque, deflater, noisy] : { std::tuple(true, PNGDeflater::bySample, true), std::tuple(false, PNGDeflater::bySample, true),
                 std::tuple(true, PNGDeflater::bySample, false), std::tuple(true, PNGDeflater::libdeflate, false),
                 std::tuple(false, PNGDeflater::libdeflate, false) }) {
            SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " in " + std::to_string(c.parts)
                + (opaque ? " bands, opaque" : " bands, translucent") + (noisy ? ", noise" : ", photo-like")
                + (deflater == PNGDeflater::bySample ? ", by sample" : ", libdeflate"));
            Bitmap bitmap = noisy ? testimages::noise(c.width, c.height, opaque, c.width * 7 + c.height) : photoLike(c.width, c.height, opaque);
            PNGEncodeOptions options;
            options.parts = c.parts;
            options.minimumPartBytes = 0;
            options.deflater = deflater;
            std::vector<uint8_t> png = encodePNG(bitmap, options);
            expectLibpngReadsThePixels(png, bitmap, opaque);
            std::string error;
            std::optional<Bitmap> decoded = decodePNG(png, &error);
            ASSERT_TRUE(decoded) << error;
            EXPECT_TRUE(*decoded == bitmap);
        }
    }
}

TEST(PNGEncodingBySample, RowsThatPackLikeAPhotosGoToIgzip)
{
    // Six bits of noise a byte: Huffman codes pack it a little and matches hardly, as
    // they do a photo's filtered rows; neither library stores it raw.
    Bitmap photo = testimages::noise(300, 200, true, 11);
    for (uint8_t& byte : photo.pixels)
        byte |= 0xC0;
    // One filter, so that only the deflater can differ.
    PNGEncodeOptions paeth;
    paeth.filter = PNGRowFilter::paeth;
    std::vector<uint8_t> sampled = encodePNG(photo, paeth);
    EXPECT_TRUE(sampled != encodePNG(photo, libdeflateAlone(paeth)));
    EXPECT_TRUE(decodePNG(sampled) == photo);
}

TEST(PNGEncodingBySample, APictureThatPacksTighterThanAPhotoIsWrittenAsBefore)
{
    // A gradient, like the device's sample wallpapers: libdeflate, without average.
    Bitmap gradient = testimages::gradient(180, 320);
    PNGEncodeOptions before;
    before.deflater = PNGDeflater::libdeflate;
    before.filter = PNGRowFilter::adaptiveWithoutAverage;
    EXPECT_EQ(encodePNG(gradient), encodePNG(gradient, before));
    // At a level other than igzip's, libdeflate and the filters asked, sampled or not.
    for (int level : { 0, 6 }) {
        PNGEncodeOptions sampled;
        sampled.compressionLevel = level;
        EXPECT_EQ(encodePNG(gradient, sampled), encodePNG(gradient, libdeflateAlone(sampled))) << "level " << level;
        Bitmap noise = testimages::noise(100, 100, true, 3);
        EXPECT_EQ(encodePNG(noise, sampled), encodePNG(noise, libdeflateAlone(sampled))) << "level " << level;
    }
}

TEST(PNGEncodingInBands, OnlyAPictureLargeEnoughForEachBandIsCut)
{
    Bitmap small = photoLike(100, 100, true);
    PNGEncodeOptions oneStream;
    oneStream.parts = 1;
    // 100 rows of 301 bytes are less than the 256 KiB a band needs by default.
    EXPECT_EQ(encodePNG(small), encodePNG(small, oneStream));

    PNGEncodeOptions twoBands;
    twoBands.minimumPartBytes = 100 * 301 / 2;
    std::vector<uint8_t> cut = encodePNG(small, twoBands);
    EXPECT_NE(cut, encodePNG(small, oneStream));
    EXPECT_TRUE(decodePNG(cut) == small);
}

TEST(PNGEncodingDetails, MalformedBitmapIsRefusedLoudly)
{
    Bitmap bitmap = Bitmap::transparent(4, 4);
    bitmap.height = 5;
    EXPECT_THROW(encodePNG(bitmap), std::invalid_argument);
}

// --- The decoder, on files made by hand ---------------------------------------------

struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
};

void appendBigEndian32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

void appendChunk(std::vector<uint8_t>& png, const Chunk& chunk)
{
    appendBigEndian32(png, uint32_t(chunk.data.size()));
    png.insert(png.end(), chunk.type.begin(), chunk.type.end());
    png.insert(png.end(), chunk.data.begin(), chunk.data.end());
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(chunk.type.data()), 4);
    crc = crc32(crc, chunk.data.data(), uInt(chunk.data.size()));
    appendBigEndian32(png, uint32_t(crc));
}

// A PNG with unfiltered rows (`rows` is each row's bytes, concatenated) compressed by zlib.
std::vector<uint8_t> craftPNG(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType,
    const std::vector<uint8_t>& rows, const std::vector<Chunk>& beforeData = {})
{
    std::vector<uint8_t> scanlines;
    size_t rowLength = height ? rows.size() / height : 0;
    for (uint32_t y = 0; y < height; ++y) {
        scanlines.push_back(0);
        scanlines.insert(scanlines.end(), rows.begin() + y * rowLength, rows.begin() + (y + 1) * rowLength);
    }
    std::vector<uint8_t> compressed(compressBound(scanlines.size()));
    uLongf length = compressed.size();
    compress2(compressed.data(), &length, scanlines.data(), scanlines.size(), 9);
    compressed.resize(length);

    std::vector<uint8_t> png { 137, 'P', 'N', 'G', '\r', '\n', 26, '\n' };
    std::vector<uint8_t> header;
    appendBigEndian32(header, width);
    appendBigEndian32(header, height);
    header.insert(header.end(), { depth, colourType, 0, 0, 0 });
    appendChunk(png, { "IHDR", header });
    for (const Chunk& chunk : beforeData)
        appendChunk(png, chunk);
    appendChunk(png, { "IDAT", compressed });
    appendChunk(png, { "IEND", {} });
    return png;
}

struct DecodeCase {
    const char* name;
    std::vector<uint8_t> png;
    std::vector<uint8_t> expectedBGRA; // premultiplied
};

class PNGDecoding : public ::testing::TestWithParam<DecodeCase> { };

TEST_P(PNGDecoding, ConvertsEveryColourTypeToPremultipliedBGRA)
{
    std::string error;
    std::optional<Bitmap> bitmap = decodePNG(GetParam().png, &error);
    ASSERT_TRUE(bitmap) << error;
    EXPECT_EQ(bitmap->width, 2u);
    EXPECT_EQ(bitmap->height, 1u);
    EXPECT_EQ(bitmap->pixels, GetParam().expectedBGRA);
}

INSTANTIATE_TEST_SUITE_P(ColourTypes, PNGDecoding,
    ::testing::Values(DecodeCase { "Grey8", craftPNG(2, 1, 8, 0, { 0x10, 0xF0 }), { 0x10, 0x10, 0x10, 255, 0xF0, 0xF0, 0xF0, 255 } },
        DecodeCase { "Grey1", craftPNG(2, 1, 1, 0, { 0x40 }), { 0, 0, 0, 255, 255, 255, 255, 255 } },
        DecodeCase { "Grey16", craftPNG(2, 1, 16, 0, { 0xAB, 0x12, 0x01, 0x00 }), { 0xAB, 0xAB, 0xAB, 255, 0x01, 0x01, 0x01, 255 } },
        DecodeCase { "GreyAlpha", craftPNG(2, 1, 8, 4, { 200, 128, 90, 0 }), { 100, 100, 100, 128, 0, 0, 0, 0 } },
        DecodeCase { "RGB16", craftPNG(2, 1, 16, 2, { 1, 0, 2, 0, 3, 0, 0xFE, 0, 0xFD, 0, 0xFC, 0 }), { 3, 2, 1, 255, 0xFC, 0xFD, 0xFE, 255 } },
        DecodeCase { "RGBWithTransparentColour",
            craftPNG(2, 1, 8, 2, { 10, 20, 30, 40, 50, 60 }, { { "tRNS", { 0, 40, 0, 50, 0, 60 } } }),
            { 30, 20, 10, 255, 0, 0, 0, 0 } },
        DecodeCase { "RGBA", craftPNG(2, 1, 8, 6, { 255, 0, 100, 51, 1, 2, 3, 255 }), { 20, 0, 51, 51, 3, 2, 1, 255 } },
        DecodeCase { "PaletteWithTransparency",
            craftPNG(2, 1, 8, 3, { 1, 0 }, { { "PLTE", { 9, 8, 7, 200, 100, 50 } }, { "tRNS", { 255, 102 } } }),
            { 20, 40, 80, 102, 7, 8, 9, 255 } }),
    [](const auto& info) { return std::string(info.param.name); });

std::string rejectionOf(const std::vector<uint8_t>& png)
{
    std::string error;
    EXPECT_FALSE(decodePNG(png, &error));
    return error;
}

TEST(PNGDecodingRejects, DamagedTruncatedAndImplausibleFiles)
{
    std::vector<uint8_t> good = encodePNG(testimages::noise(40, 30, false));
    ASSERT_TRUE(decodePNG(good));

    std::vector<uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
    EXPECT_THAT(rejectionOf(truncated), HasSubstr("PNG: "));

    std::vector<uint8_t> badHeaderCRC = good;
    badHeaderCRC[8 + 8 + 13] ^= 1;
    EXPECT_THAT(rejectionOf(badHeaderCRC), HasSubstr("PNG: "));

    EXPECT_THAT(rejectionOf({ 'G', 'I', 'F', '8', '9', 'a' }), HasSubstr("PNG: "));
    EXPECT_THAT(rejectionOf({}), HasSubstr("PNG: "));

    // A header that claims a picture its file cannot hold: refused before allocating it.
    EXPECT_THAT(rejectionOf(craftPNG(4000, 4000, 8, 6, {})), HasSubstr("cannot come from"));
    EXPECT_THAT(rejectionOf(craftPNG(40000, 1, 8, 0, {})), HasSubstr("PNG: "));
}

// 33 KB of 1-bit grey that decodes to 32768 x 8192 pixels, 1 GiB of BGRA: judged by its
// decoded size before a pixel is decoded, by the one limit of every picture reader, while
// a picture four times the largest iPad screen still decodes.
TEST(PNGDecodingRejects, ADecompressionBombIsRefusedByItsDecodedSize)
{
    std::vector<uint8_t> bomb = craftPNG(32768, 8192, 1, 0, std::vector<uint8_t>(size_t(4096) * 8192, 0));
    ASSERT_LT(bomb.size(), 64u * 1024);
    EXPECT_THAT(rejectionOf(bomb), HasSubstr("size 32768x8192 is beyond the limits: it decodes to 1073741824 bytes, more than the 128 MiB"));
    std::string error;
    EXPECT_FALSE(decodeImage(bomb, &error));
    EXPECT_THAT(error, HasSubstr("1073741824 bytes"));

    auto large = decodePNG(craftPNG(2 * 2732, 2 * 2048, 1, 0, std::vector<uint8_t>(size_t(2 * 2732 / 8) * 2 * 2048, 0x5A)), &error);
    ASSERT_TRUE(large) << error;
    EXPECT_EQ(large->width, 2u * 2732);
}

} // namespace
