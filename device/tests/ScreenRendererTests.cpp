// The device's screen drawn from the view tree: what shows and where, sampled at known
// points rather than compared with stored pictures.

#include "Bitmap.h"
#include "ScreenRenderer.h"
#include "SpringBoardTestSupport.h"
#include "ViewPainter.h"
#include "WallpaperCache.h"

#include "CPBitmap.h"
#include "FileSystem.h"

#include "CALayer.h"
#include "UIColor.h"
#include "UIImage.h"
#include "UIKitState.h"
#include "UIScreen.h"

namespace {

struct Pixel {
    int red, green, blue, alpha;
};

// The pixel at (x, y), un-premultiplied to 0-255 components.
Pixel pixelAt(const Bitmap& bitmap, int x, int y)
{
    const uint8_t* p = bitmap.pixels.data() + (static_cast<size_t>(y) * bitmap.width + x) * 4;
    int alpha = p[3];
    auto straight = [&](int value) { return alpha ? std::min(255, value * 255 / alpha) : 0; };
    return { straight(p[2]), straight(p[1]), straight(p[0]), alpha };
}

bool isRed(const Pixel& pixel) { return pixel.alpha > 200 && pixel.red > 200 && pixel.green < 60 && pixel.blue < 60; }
bool isClear(const Pixel& pixel) { return pixel.alpha < 10; }

class ViewPainterTest : public SpringBoardTest {
protected:
    void SetUp() override { registerVersion(14); }

    // Draws `view` alone on a clear 100 by 100 canvas at scale 1.
    static Bitmap draw(const id& view)
    {
        CanvasSurface canvas(100, 100);
        ViewPainter(canvas.context()).paint(view);
        return canvas.bitmap();
    }

    static id viewAt(CGRect frame, id background)
    {
        id view = UIKitSupport::allocInitWithFrame("UIView", frame);
        send(view, "setBackgroundColor:", background);
        return view;
    }

    static id red() { return UIColor::colorWithRGBA(1, 0, 0, 1); }
};

TEST_F(ViewPainterTest, AViewFillsItsFrameAndNothingElse)
{
    Bitmap picture = draw(viewAt(CGRectMake(20, 30, 40, 10), red()));
    EXPECT_TRUE(isRed(pixelAt(picture, 21, 31)));
    EXPECT_TRUE(isRed(pixelAt(picture, 58, 38)));
    EXPECT_TRUE(isClear(pixelAt(picture, 19, 35)));
    EXPECT_TRUE(isClear(pixelAt(picture, 61, 35)));
    EXPECT_TRUE(isClear(pixelAt(picture, 40, 41)));
}

TEST_F(ViewPainterTest, HiddenAndTransparentViewsLeaveNoTraceAndAlphaAppliesToTheTreeBelow)
{
    id hidden = viewAt(CGRectMake(0, 0, 50, 50), red());
    send(hidden, "setHidden:", true);
    id transparent = viewAt(CGRectMake(50, 50, 50, 50), red());
    send(transparent, "setAlpha:", 0.0);
    id container = viewAt(CGRectMake(0, 0, 100, 100), nil);
    send(container, "addSubview:", hidden);
    send(container, "addSubview:", transparent);
    Bitmap picture = draw(container);
    for (int y = 0; y < 100; y += 7)
        for (int x = 0; x < 100; x += 7)
            ASSERT_TRUE(isClear(pixelAt(picture, x, y))) << x << "," << y;

    // A half-transparent parent makes its child half transparent too.
    id parent = viewAt(CGRectMake(0, 0, 100, 100), nil);
    send(parent, "setAlpha:", 0.5);
    send(parent, "addSubview:", viewAt(CGRectMake(10, 10, 20, 20), red()));
    Pixel half = pixelAt(draw(parent), 20, 20);
    EXPECT_NEAR(half.alpha, 128, 3);
}

TEST_F(ViewPainterTest, ARoundedCornerLeavesTheCornerClearAndClippingKeepsChildrenInside)
{
    id rounded = viewAt(CGRectMake(0, 0, 100, 100), red());
    send(send<id>(rounded, "layer"), "setCornerRadius:", 30.0);
    send(rounded, "setClipsToBounds:", true);
    id child = viewAt(CGRectMake(-20, -20, 60, 60), UIColor::colorWithRGBA(0, 0, 1, 1));
    send(rounded, "addSubview:", child);
    Bitmap picture = draw(rounded);
    EXPECT_TRUE(isClear(pixelAt(picture, 1, 1))) << "the corner is cut off, the blue child included";
    EXPECT_TRUE(isRed(pixelAt(picture, 98, 50)));
    EXPECT_TRUE(isRed(pixelAt(picture, 50, 98)));
    Pixel inside = pixelAt(picture, 20, 20);
    EXPECT_GT(inside.blue, 200) << "the child shows where the parent's shape is";
}

TEST_F(ViewPainterTest, AScaleTransformShrinksTheViewAboutItsCentre)
{
    id view = viewAt(CGRectMake(0, 0, 100, 100), red());
    send(view, "setTransform:", CGAffineTransformMakeScale(0.5, 0.5));
    Bitmap picture = draw(view);
    EXPECT_TRUE(isClear(pixelAt(picture, 10, 10)));
    EXPECT_TRUE(isClear(pixelAt(picture, 90, 90)));
    EXPECT_TRUE(isRed(pixelAt(picture, 27, 27)));
    EXPECT_TRUE(isRed(pixelAt(picture, 72, 72)));
}

TEST_F(ViewPainterTest, ATemplateImageTakesTheTintColourAndAnOrdinaryOneKeepsItsOwn)
{
    // A 10 by 10 opaque black square.
    Bitmap square = Bitmap::transparent(10, 10);
    for (size_t i = 3; i < square.pixels.size(); i += 4)
        square.pixels[i] = 255;
    id image = UIImage::imageWithCGImage(CGImage::create(square));
    id templated = send<id>(image, "imageWithRenderingMode:", 2LL);

    id imageView = UIKitSupport::allocInitWithFrame("UIImageView", CGRectMake(0, 0, 40, 40));
    send(imageView, "setImage:", templated);
    send(imageView, "setTintColor:", red());
    EXPECT_TRUE(isRed(pixelAt(draw(imageView), 20, 20)));

    send(imageView, "setImage:", image);
    Pixel black = pixelAt(draw(imageView), 20, 20);
    EXPECT_EQ(black.alpha, 255);
    EXPECT_LT(black.red, 10);
}

TEST_F(ViewPainterTest, ALabelDrawsItsTextInItsColourInsideItsFrame)
{
    id label = UIKitSupport::allocInitWithFrame("UILabel", CGRectMake(10, 10, 80, 40));
    send(label, "setText:", id(NSString::string("HI")));
    send(label, "setTextColor:", red());
    send(label, "setFont:", send<id>(objc_getClass("UIFont"), "boldSystemFontOfSize:", 30.0));
    Bitmap picture = draw(label);
    int redPixels = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            if (isRed(pixelAt(picture, x, y))) {
                ++redPixels;
                EXPECT_TRUE(x >= 10 && x < 90 && y >= 10 && y < 50) << x << "," << y;
            }
        }
    }
    EXPECT_GT(redPixels, 100) << "the letters are drawn";
}

TEST_F(SpringBoardTest, TheScreenIsDrawnAtItsSizeTimesItsScaleWithTheLockScreenOnTop)
{
    registerVersion(14);
    SpringBoardApp& app = SpringBoardApp::launch();
    Bitmap picture = ScreenRenderer(app).draw();
    CGRect bounds = UIScreen::mainScreenBounds();
    double scale = send<double>(UIScreen::mainScreen(), "scale");
    EXPECT_EQ(picture.width, static_cast<uint32_t>(bounds.size.width * scale));
    EXPECT_EQ(picture.height, static_cast<uint32_t>(bounds.size.height * scale));
    // The lock screen's clock, white over the wallpaper, is in the upper part.
    int white = 0;
    for (uint32_t y = 0; y < picture.height / 4; ++y)
        for (uint32_t x = 0; x < picture.width; x += 2) {
            Pixel pixel = pixelAt(picture, static_cast<int>(x), static_cast<int>(y));
            white += pixel.red > 240 && pixel.green > 240 && pixel.blue > 240;
        }
    EXPECT_GT(white, 200);
}

// A wallpaper file of SpringBoard's (LockBackground or HomeBackground), one colour, replaced
// as a writer replaces it (a new file renamed into place).
void writeWallpaper(const std::string& root, const std::string& name, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha = 255)
{
    std::filesystem::create_directories(root + "/var/mobile/Library/SpringBoard");
    Bitmap picture = Bitmap::transparent(30, 60);
    for (size_t i = 0; i < picture.pixels.size(); i += 4) {
        picture.pixels[i] = blue;
        picture.pixels[i + 1] = green;
        picture.pixels[i + 2] = red;
        picture.pixels[i + 3] = alpha;
    }
    std::string path = "/var/mobile/Library/SpringBoard/" + name + ".cpbitmap";
    ASSERT_TRUE(FileSystem::writeFile(path, encodeCPBitmap(picture)));
}

TEST_F(SpringBoardTest, TheWallpaperIsScaledOnceAndAgainOnlyWhenItsFileChanges)
{
    registerVersion(14);
    SpringBoardApp& app = SpringBoardApp::launch();
    writeWallpaper(m_root.path(), "LockBackground", 0, 0, 255);
    WallpaperCache& cache = WallpaperCache::shared();
    Bitmap first = ScreenRenderer(app).draw();
    int prepared = cache.preparedCount();
    Bitmap second = ScreenRenderer(app).draw();
    EXPECT_EQ(cache.preparedCount(), prepared) << "an unchanged wallpaper is drawn again";
    EXPECT_TRUE(first == second);
    int x = 4, y = static_cast<int>(first.height * 0.6);
    Pixel blue = pixelAt(first, x, y);
    EXPECT_TRUE(blue.blue > 240 && blue.red < 10) << blue.red << "," << blue.green << "," << blue.blue;

    writeWallpaper(m_root.path(), "LockBackground", 255, 0, 0);
    Bitmap third = ScreenRenderer(app).draw();
    EXPECT_GT(cache.preparedCount(), prepared);
    Pixel red = pixelAt(third, x, y);
    EXPECT_TRUE(red.red > 240 && red.blue < 10) << red.red << "," << red.green << "," << red.blue;

    // Drawn into memory of the caller's (which holds an older picture), the same pixels.
    ScreenRenderer renderer(app);
    auto size = renderer.pixelSize();
    EXPECT_EQ(size.width, third.width);
    EXPECT_EQ(size.height, third.height);
    std::vector<uint8_t> memory = first.pixels;
    renderer.drawInto(memory.data());
    EXPECT_TRUE(memory == third.pixels);

    // Translucent wallpapers do not cover what lies under them: drawn over an older
    // picture, nothing of that picture shows through.
    writeWallpaper(m_root.path(), "LockBackground", 0, 0, 100, 100);
    writeWallpaper(m_root.path(), "HomeBackground", 0, 50, 0, 50);
    Bitmap translucent = ScreenRenderer(app).draw();
    memory.assign(memory.size(), 0xff);
    renderer.drawInto(memory.data());
    EXPECT_TRUE(memory == translucent.pixels);
}

// Drawn ahead, one at a time: the lock screen's and the home screen's gradients in both
// appearances, then the home screen's texts; then a switch of appearance and an unlock draw
// no wallpaper and lay out no text of their own.
TEST_F(SpringBoardTest, WhatIsDrawnAheadLeavesNothingToPrepareForTheOtherAppearanceOrTheHomeScreen)
{
    registerVersion(14);
    SpringBoardApp& app = SpringBoardApp::launch();
    WallpaperCache& cache = WallpaperCache::shared();
    ScreenRenderer renderer(app, 1);
    int before = cache.preparedCount();
    renderer.draw();
    EXPECT_EQ(cache.preparedCount(), before + 1) << "the lock screen's wallpaper only: the home screen's is covered";
    int ahead = 0;
    while (renderer.prepareNextAhead() && ahead < 10)
        ++ahead;
    EXPECT_EQ(ahead, 4) << "four gradients, one of them drawn for the picture, and the texts";
    int prepared = cache.preparedCount();
    int laidOut = ViewPainter::textsLaidOut();
    EXPECT_FALSE(renderer.prepareNextAhead());

    UITraitCollection::setUserInterfaceStyle(UIUserInterfaceStyleDark);
    renderer.draw();
    send(app.lockScreenWindow(), "setHidden:", true);  // the home screen shows
    Bitmap home = renderer.draw();
    EXPECT_EQ(cache.preparedCount(), prepared);
    EXPECT_EQ(ViewPainter::textsLaidOut(), laidOut) << "the home screen's names were laid out ahead";
    EXPECT_TRUE(home == ScreenRenderer(app, 1).draw()) << "drawn again from the kept texts, the same picture";

    // At the screen's own scale, the texts are laid out anew.
    ScreenRenderer(app).draw();
    EXPECT_GT(ViewPainter::textsLaidOut(), laidOut);
}

} // namespace
