#include "ImageDecoder.h"
#include "JPEGCodec.h"
#include "PNGEncoder.h"
#include "TestImages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using ::testing::HasSubstr;

double meanAbsoluteDifference(const Bitmap& a, const Bitmap& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        sum += std::abs(int(a.pixels[i]) - int(b.pixels[i]));
    return sum / double(a.pixels.size());
}

TEST(JPEGCodec, EncodedPictureDecodesCloseToTheOriginal)
{
    for (auto [width, height] : { std::pair { 1u, 1u }, { 17u, 9u }, { 320u, 240u } }) {
        Bitmap original = testimages::gradient(width, height);
        std::string error;
        std::optional<Bitmap> decoded = decodeJPEG(encodeJPEG(original, 92), &error);
        ASSERT_TRUE(decoded) << error;
        ASSERT_EQ(decoded->width, width);
        ASSERT_EQ(decoded->height, height);
        EXPECT_TRUE(decoded->isOpaque());
        EXPECT_LT(meanAbsoluteDifference(original, *decoded), 2.0) << width << "x" << height;
    }
}

TEST(JPEGCodec, QualityTradesSizeForFidelityAndIsClamped)
{
    Bitmap noisy = testimages::noise(128, 128, true);
    std::vector<uint8_t> low = encodeJPEG(noisy, 10);
    std::vector<uint8_t> high = encodeJPEG(noisy, 95);
    EXPECT_LT(low.size(), high.size() / 2);
    EXPECT_EQ(encodeJPEG(noisy, -5), encodeJPEG(noisy, 1));
    EXPECT_EQ(encodeJPEG(noisy, 1000), encodeJPEG(noisy, 100));
}

TEST(JPEGCodec, TranslucentPixelsAreWrittenOverBlack)
{
    Bitmap bitmap = Bitmap::transparent(16, 16);
    for (size_t i = 0; i < bitmap.pixels.size(); i += 4) {
        bitmap.pixels[i] = 100; // blue, premultiplied by alpha 128
        bitmap.pixels[i + 3] = 128;
    }
    std::optional<Bitmap> decoded = decodeJPEG(encodeJPEG(bitmap, 100));
    ASSERT_TRUE(decoded);
    EXPECT_NEAR(decoded->pixels[0], 100, 3);
    EXPECT_NEAR(decoded->pixels[2], 0, 3);
    EXPECT_EQ(decoded->pixels[3], 255);
}

TEST(JPEGCodec, DamagedFilesFailCleanlyAndTruncatedOnesDecodePartly)
{
    std::vector<uint8_t> jpeg = encodeJPEG(testimages::gradient(64, 64), 90);
    std::string error;

    std::vector<uint8_t> cutShort(jpeg.begin(), jpeg.begin() + jpeg.size() * 2 / 3);
    std::optional<Bitmap> partial = decodeJPEG(cutShort, &error);
    ASSERT_TRUE(partial) << error;
    EXPECT_EQ(partial->width, 64u);

    std::vector<uint8_t> headerOnly(jpeg.begin(), jpeg.begin() + 20);
    EXPECT_FALSE(decodeJPEG(headerOnly, &error));
    EXPECT_THAT(error, HasSubstr("JPEG: "));

    std::vector<uint8_t> garbage { 0xFF, 0xD8, 0xFF, 0x00, 0x13, 0x37, 0x00, 0x00 };
    EXPECT_FALSE(decodeJPEG(garbage, &error));
    EXPECT_FALSE(decodeJPEG({}, &error));
    EXPECT_THAT(error, HasSubstr("no data"));
}

TEST(JPEGCodec, HeaderClaimingMorePixelsThanTheFileHoldsIsRefused)
{
    std::vector<uint8_t> jpeg = encodeJPEG(testimages::gradient(8, 8), 90);
    // Rewrite the frame header (SOF0: FF C0, length, precision, height, width) to 4000x4000,
    // within the size limits but far beyond what a few hundred bytes can hold.
    const uint8_t marker[] = { 0xFF, 0xC0 };
    auto sof = std::search(jpeg.begin(), jpeg.end(), std::begin(marker), std::end(marker));
    ASSERT_NE(sof, jpeg.end());
    size_t at = size_t(sof - jpeg.begin()) + 5;
    jpeg[at] = 0x0F, jpeg[at + 1] = 0xA0, jpeg[at + 2] = 0x0F, jpeg[at + 3] = 0xA0;
    std::string error;
    EXPECT_FALSE(decodeJPEG(jpeg, &error));
    EXPECT_THAT(error, HasSubstr("cannot come from"));
}

TEST(ImageDecoder, TellsTheFormatByItsFirstBytes)
{
    Bitmap bitmap = testimages::gradient(5, 4);
    std::vector<uint8_t> png = encodePNG(bitmap);
    std::vector<uint8_t> jpeg = encodeJPEG(bitmap, 90);
    EXPECT_EQ(sniffImageFormat(png), ImageFormat::png);
    EXPECT_EQ(sniffImageFormat(jpeg), ImageFormat::jpeg);
    std::optional<Bitmap> fromPNG = decodeImage(png);
    ASSERT_TRUE(fromPNG);
    EXPECT_TRUE(*fromPNG == bitmap);
    std::optional<Bitmap> fromJPEG = decodeImage(jpeg);
    ASSERT_TRUE(fromJPEG);
    EXPECT_EQ(fromJPEG->width, 5u);

    std::string error;
    const uint8_t gif[] = { 'G', 'I', 'F', '8', '9', 'a', 1, 0 };
    EXPECT_FALSE(decodeImage(gif, &error));
    EXPECT_EQ(error, "not a PNG or JPEG image");
}

TEST(ImageDecoder, FileErrorsNameThePath)
{
    auto folder = std::filesystem::temp_directory_path() / ("imageio-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::string missing = (folder / "missing.png").string();
    std::string error;
    EXPECT_FALSE(decodeImageFile(missing, &error));
    EXPECT_THAT(error, HasSubstr(missing));

    std::string text = (folder / "notes.png").string();
    std::ofstream(text) << "not a picture";
    EXPECT_FALSE(decodeImageFile(text, &error));
    EXPECT_EQ(error, text + ": not a PNG or JPEG image");

    std::string picture = (folder / "picture.png").string();
    std::vector<uint8_t> png = encodePNG(testimages::gradient(3, 2));
    std::ofstream(picture, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    std::optional<Bitmap> loaded = decodeImageFile(picture, &error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_TRUE(*loaded == testimages::gradient(3, 2));
    std::filesystem::remove_all(folder);
}

} // namespace
