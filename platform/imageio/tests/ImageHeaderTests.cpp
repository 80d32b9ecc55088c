// readImageHeader refuses what a decode would refuse outright, without decoding.

#include "ImageHeader.h"
#include "JPEGCodec.h"
#include "PNGEncoder.h"
#include "TestImages.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

uint32_t bigEndian32(const std::vector<uint8_t>& bytes, size_t at)
{
    return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 | uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
}

std::string refusal(const std::vector<uint8_t>& bytes)
{
    std::string reason;
    return readImageHeader(bytes, &reason) ? "(accepted)" : reason;
}

TEST(ImageHeader, SoundPicturesGiveTheirFormatAndSize)
{
    Bitmap bitmap = testimages::gradient(40, 30);
    auto png = readImageHeader(encodePNG(bitmap));
    ASSERT_TRUE(png);
    EXPECT_EQ(png->format, ImageFormat::png);
    EXPECT_EQ(png->width, 40u);
    EXPECT_EQ(png->height, 30u);
    auto jpeg = readImageHeader(encodeJPEG(bitmap, 80));
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->format, ImageFormat::jpeg);
    EXPECT_EQ(jpeg->width, 40u);
    EXPECT_EQ(jpeg->height, 30u);
}

TEST(ImageHeader, DamagedCutShortAndOversizedPicturesAreRefused)
{
    std::vector<uint8_t> png = encodePNG(testimages::noise(64, 64, true));
    EXPECT_NE(refusal({}), "(accepted)");
    EXPECT_NE(refusal({ 'h', 'i' }), "(accepted)");

    auto cut = png;
    cut.resize(png.size() / 2);
    EXPECT_NE(refusal(cut), "(accepted)") << "a PNG cut short";
    auto withoutEnd = png;
    withoutEnd.resize(png.size() - 12); // the IEND chunk
    EXPECT_NE(refusal(withoutEnd), "(accepted)") << "a PNG without IEND";
    auto flipped = png;
    flipped[png.size() / 2] ^= 0x40; // inside the image data: its chunk's CRC no longer matches
    EXPECT_NE(refusal(flipped), "(accepted)") << "a damaged IDAT";
    EXPECT_TRUE(readImageHeader(flipped, nullptr, PNGChunkCheck::layout)) << "only the chunks' layout checked";
    EXPECT_FALSE(readImageHeader(cut, nullptr, PNGChunkCheck::layout));
    EXPECT_FALSE(readImageHeader(withoutEnd, nullptr, PNGChunkCheck::layout));

    // A sound header claiming more pixels than the decoders accept.
    auto huge = png;
    huge[16] = 0x00, huge[17] = 0x01, huge[18] = 0x00, huge[19] = 0x00; // width 65536
    uint32_t crc = uint32_t(crc32(0, huge.data() + 12, 17)); // IHDR's type and fields
    for (int i = 0; i < 4; ++i)
        huge[29 + i] = uint8_t(crc >> (24 - 8 * i));
    EXPECT_EQ(bigEndian32(huge, 16), 65536u);
    EXPECT_NE(refusal(huge), "(accepted)") << "a width of 65536";
    EXPECT_EQ(refusal(huge).find("CRC"), std::string::npos) << refusal(huge);

    std::vector<uint8_t> jpeg = encodeJPEG(testimages::gradient(40, 30), 80);
    auto jpegStart = jpeg;
    jpegStart.resize(20); // no frame header yet
    EXPECT_NE(refusal(jpegStart), "(accepted)") << "a JPEG cut before its frame";
}

} // namespace
