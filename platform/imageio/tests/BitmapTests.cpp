#include "Bitmap.h"

#include <gtest/gtest.h>

namespace {

TEST(AlphaConversion, PremultipliedBytesSurviveUnpremultiplyingAndBack)
{
    for (unsigned alpha = 0; alpha < 256; ++alpha) {
        for (unsigned colour = 0; colour <= alpha; ++colour) {
            uint8_t straight = unpremultiplyComponent(uint8_t(colour), uint8_t(alpha));
            ASSERT_EQ(premultiplyComponent(straight, uint8_t(alpha)), colour) << "colour " << colour << " alpha " << alpha;
        }
    }
}

TEST(AlphaConversion, RoundsToNearestAndClampsInvalidPixels)
{
    for (unsigned alpha = 1; alpha < 256; ++alpha) {
        for (unsigned value = 0; value < 256; ++value) {
            double exactPremultiplied = value * alpha / 255.0;
            ASSERT_LE(std::abs(premultiplyComponent(uint8_t(value), uint8_t(alpha)) - exactPremultiplied), 0.5);
            double exactStraight = std::min(255.0, value * 255.0 / alpha);
            ASSERT_LE(std::abs(unpremultiplyComponent(uint8_t(value), uint8_t(alpha)) - exactStraight), 0.5);
        }
    }
    EXPECT_EQ(unpremultiplyComponent(200, 0), 0);
    EXPECT_EQ(unpremultiplyComponent(200, 100), 255);
}

TEST(BitmapShape, WellFormednessAndOpacity)
{
    Bitmap bitmap = Bitmap::transparent(3, 2);
    EXPECT_TRUE(bitmap.isWellFormed());
    EXPECT_FALSE(bitmap.isOpaque());
    for (size_t i = 3; i < bitmap.pixels.size(); i += 4)
        bitmap.pixels[i] = 255;
    EXPECT_TRUE(bitmap.isOpaque());
    bitmap.pixels[bitmap.pixels.size() - 1] = 254;
    EXPECT_FALSE(bitmap.isOpaque());

    bitmap.pixels.push_back(0);
    EXPECT_NE(bitmap.malformation().find("needs 24 bytes of pixels, has 25"), std::string::npos);
    Bitmap tooWide;
    tooWide.width = kMaxImageSide + 1;
    tooWide.height = 1;
    EXPECT_FALSE(tooWide.isWellFormed());
    EXPECT_FALSE(Bitmap::isAcceptableSize(kMaxImageSide, kMaxImageSide));
    EXPECT_TRUE(Bitmap::isAcceptableSize(kMaxImageSide, kMaxImagePixels / kMaxImageSide));
    EXPECT_THROW(Bitmap::transparent(0, 5), std::invalid_argument);
}

} // namespace
