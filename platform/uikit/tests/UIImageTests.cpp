// UIImage, CGImage and the bitmap-file images: what a program reads from files and data,
// and what it encodes back.

#include "CPBitmap.h"
#include "CPBitmapImages.h"
#include "ImageDecoder.h"
#include "JPEGCodec.h"
#include "PNGDecoder.h"
#include "PNGEncoder.h"
#include "UIImage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

Bitmap checker(uint32_t width, uint32_t height, uint8_t seed)
{
    Bitmap picture = Bitmap::transparent(width, height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* pixel = picture.row(y) + x * 4;
            pixel[0] = uint8_t(x * 17 + seed);
            pixel[1] = uint8_t(y * 29 + seed);
            pixel[2] = uint8_t((x + y) % 2 ? 255 : seed);
            pixel[3] = 255;
        }
    return picture;
}

uint32_t crc32Of(const uint8_t* bytes, size_t length)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// The PNG with its compressed pixels made unreadable (the zlib stream's first byte names no
// method) while every chunk stays whole with its CRC right: only a decode tells.
std::vector<uint8_t> withDamagedPixels(std::vector<uint8_t> png)
{
    for (size_t at = 8; at + 12 <= png.size();) {
        uint32_t length = uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 | png[at + 3];
        if (std::equal(png.begin() + long(at) + 4, png.begin() + long(at) + 8, "IDAT") && length > 0) {
            png[at + 8] = 0;
            uint32_t crc = crc32Of(png.data() + at + 4, length + 4);
            for (int i = 0; i < 4; ++i)
                png[at + 8 + length + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
            return png;
        }
        at += 12 + length;
    }
    return {};
}

class UIImageFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "uiimage-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        setenv("KAVLOR_DEVICE_ROOT", m_root.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("KAVLOR_DEVICE_ROOT");
        fs::remove_all(m_root);
    }
    void write(const std::string& devicePath, const std::vector<uint8_t>& bytes)
    {
        fs::create_directories(fs::path(m_root + devicePath).parent_path());
        std::ofstream(m_root + devicePath, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::string m_root;
};

TEST_F(UIImageFiles, ReadsPNGAndJPEGAtDevicePaths)
{
    Bitmap picture = checker(9, 5, 3);
    write("/var/mobile/a.png", encodePNG(picture));
    write("/var/mobile/b.jpg", encodeJPEG(picture, 90));

    auto png = UIImage::imageWithContentsOfFile("/var/mobile/a.png");
    ASSERT_TRUE(png);
    EXPECT_EQ(png->CGImage()->bitmap(), picture);

    // Through the runtime, as device code asks for it.
    id jpeg = send<id>(UIImage::cls(), "imageWithContentsOfFile:", "/var/mobile/b.jpg"_ns);
    ASSERT_TRUE(jpeg);
    id cgImage = send<id>(jpeg, "CGImage");
    EXPECT_EQ(CGImageGetWidth(cgImage.as<CGImage>()), 9u);
    EXPECT_EQ(CGImageGetHeight(cgImage.as<CGImage>()), 5u);
    EXPECT_EQ(send<CGSize>(jpeg, "size"), CGSizeMake(9, 5));
}

TEST_F(UIImageFiles, AMissingFileOrOneThatIsNoImageGivesNil)
{
    write("/var/mobile/text.png", { 'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e' });
    auto truncated = encodePNG(checker(8, 8, 1));
    truncated.resize(truncated.size() / 2);
    write("/var/mobile/truncated.png", truncated);

    EXPECT_FALSE(UIImage::imageWithContentsOfFile("/var/mobile/missing.png"));
    EXPECT_FALSE(UIImage::imageWithContentsOfFile("/var/mobile/text.png"));
    EXPECT_FALSE(UIImage::imageWithContentsOfFile("/var/mobile/truncated.png"));
    EXPECT_FALSE(UIImage::imageWithContentsOfFile("/var/mobile"));
    EXPECT_FALSE(send<id>(UIImage::cls(), "imageWithContentsOfFile:", nil));
    EXPECT_FALSE(UIImage::imageWithData(nullptr));
}

// Pixels are decoded when first needed, as on a device: an image made from bytes has its
// header's size at once; one whose compressed pixels turn out damaged draws transparent
// instead of failing wherever it is drawn.
TEST(UIImage, PixelsAreDecodedWhenFirstNeededAndDamagedOnesDrawTransparent)
{
    Bitmap picture = checker(9, 5, 3);
    auto png = encodePNG(picture);
    auto image = UIImage::imageWithData(NSData::data(png));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size().width, 9);
    EXPECT_EQ(image->size().height, 5);
    EXPECT_EQ(image->CGImage()->bitmap(), picture);

    auto damaged = withDamagedPixels(png);
    ASSERT_FALSE(damaged.empty());
    ASSERT_FALSE(decodeImage(damaged)) << "the damage is not one a decoder notices";
    auto undecodable = UIImage::imageWithData(NSData::data(damaged));
    ASSERT_TRUE(undecodable) << "the header and chunks are sound: the image is made";
    EXPECT_EQ(undecodable->size().width, 9);
    EXPECT_EQ(CGImageGetHeight(undecodable->CGImage()), 5u);
    EXPECT_EQ(undecodable->CGImage()->bitmap(), Bitmap::transparent(9, 5));
    EXPECT_EQ(UIImagePNGRepresentation(undecodable)->copyBytes(), encodePNG(Bitmap::transparent(9, 5)));

    // A byte changed in the image data: the chunk's checksum, left to the decode, fails there.
    auto flipped = png;
    flipped[flipped.size() - 12 - 6] ^= 0x40; // inside the last IDAT
    auto unchecked = UIImage::imageWithData(NSData::data(flipped));
    ASSERT_TRUE(unchecked);
    EXPECT_EQ(unchecked->CGImage()->bitmap(), Bitmap::transparent(9, 5));
}

TEST(UIImage, PNGRepresentationGivesThePixelsBack)
{
    Bitmap picture = checker(13, 7, 40);
    auto image = UIImage::imageWithCGImage(CGImage::create(picture));
    Id<NSData> png = UIImagePNGRepresentation(image);
    ASSERT_TRUE(png);
    EXPECT_EQ(decodePNG(png->bytes()), picture);
    EXPECT_EQ(UIImage::imageWithData(png)->CGImage()->bitmap(), picture);
    EXPECT_FALSE(UIImagePNGRepresentation(nil));
    EXPECT_FALSE(UIImagePNGRepresentation("not an image"_ns));
}

TEST(UIImage, ARenderingModeMakesANewImageOfTheSamePicture)
{
    auto image = UIImage::imageWithCGImage(CGImage::create(checker(2, 2, 0)));
    id templated = send<id>(image, "imageWithRenderingMode:", 2LL);
    EXPECT_EQ(send<long long>(templated, "renderingMode"), 2);
    EXPECT_EQ(image->renderingMode(), UIImageRenderingModeAutomatic);
    EXPECT_TRUE(send<id>(templated, "CGImage") == image->CGImage());
    EXPECT_NE(templated.get(), static_cast<objc_object*>(image.get()));
}

TEST(CPBitmapCreateImagesFromData, AnswersEveryImageOfTheFileInOrder)
{
    std::vector<Bitmap> pictures { checker(20, 3, 1), checker(20, 3, 2) };
    auto file = NSData::data(encodeCPBitmap(pictures));

    Id<NSArray> images = CPBitmapCreateImagesFromData(file, nullptr, 1, nullptr);

    ASSERT_TRUE(images);
    ASSERT_EQ(images->count(), 2u);
    EXPECT_EQ(images->objectAtIndex(0).as<CGImage>()->bitmap(), pictures[0]);
    EXPECT_EQ(images->objectAtIndex(1).as<CGImage>()->bitmap(), pictures[1]);
}

TEST(CPBitmapCreateImagesFromData, DataThatIsNoBitmapGivesNoImages)
{
    auto images = CPBitmapCreateImagesFromData(NSData::data({ 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28 }), nullptr, 1, nullptr);
    ASSERT_TRUE(images);
    EXPECT_EQ(images->count(), 0u);
    EXPECT_FALSE(CPBitmapCreateImagesFromData(nullptr, nullptr, 1, nullptr));
}

} // namespace
