#include "MainInitialiser.h"
#include "ThemeColours.h"
#include "NSProcessInfo.h"
#include "TweakTestEnvironment.h"
#include "UIKit.h"
#include "UIKitState.h"

#include <gtest/gtest.h>

namespace {

RGBA rgba(double r, double g, double b, double a) { return { r, g, b, a }; }

TEST(HexColourTest, ReadsEveryLayoutAndRefusesOtherLengths)
{
    EXPECT_EQ(colorFromHexString("FFF"), rgba(1, 1, 1, 1));
    EXPECT_EQ(colorFromHexString("fff"), rgba(1, 1, 1, 1));
    EXPECT_EQ(colorFromHexString("F00A"), rgba(1, 0, 0, 170 / 255.0));
    EXPECT_EQ(colorFromHexString("3366CC"), rgba(0.2, 0.4, 0.8, 1));
    EXPECT_EQ(colorFromHexString("3366cc80"), rgba(0.2, 0.4, 0.8, 128 / 255.0));
    EXPECT_EQ(colorFromHexString("8"), rgba(0, 0, 0, 0));
    for (const char* other : { "", "F", "FF", "12345", "#3366CC", "123456789" })
        EXPECT_EQ(colorFromHexString(other), rgba(0, 0, 0, 0)) << other;
    // Lengths count UTF-16 units: "é" is one, so "éAB" has three characters.
    EXPECT_EQ(colorFromHexString("\xC3\xA9" "AB"), rgba(0, 170 / 255.0, 187 / 255.0, 1));
}

TEST(HexColourTest, ASliceThatIsNotHexReadsAsZero)
{
    EXPECT_EQ(colorFromHexString("G0FF80"), rgba(0, 1, 128 / 255.0, 1));
    EXPECT_EQ(colorFromHexString("1G2"), rgba(17 / 255.0, 0, 34 / 255.0, 1));
    EXPECT_EQ(hexComponent(u"80", 0, 2), 128 / 255.0);
    EXPECT_EQ(hexComponent(u" 8", 0, 2), 0.0);
    EXPECT_EQ(hexComponent(u"8", 0, 2), 0.0); // past the end
}

TEST(ThemeColourChoiceTest, FollowsTheTablesCellByCell)
{
    auto choose = [](ThemeColour which, bool custom, bool ios13, Appearance appearance) {
        return chooseThemeColour(which, custom, ios13, appearance, "3366CC");
    };
    const RGBA stored = rgba(0.2, 0.4, 0.8, 1);
    for (bool ios13 : { false, true }) {
        for (Appearance appearance : { Appearance::Light, Appearance::Dark }) {
            for (ThemeColour which : { ThemeColour::Background, ThemeColour::Font, ThemeColour::Button, ThemeColour::Image }) {
                auto custom = choose(which, true, ios13, appearance);
                EXPECT_EQ(custom.components, stored);
                EXPECT_EQ(custom.systemColour, nullptr);
            }
            EXPECT_EQ(choose(ThemeColour::Background, false, ios13, appearance).components, stored);
            EXPECT_STREQ(choose(ThemeColour::Font, false, ios13, appearance).systemColour, ios13 ? "labelColor" : "blackColor");
        }
    }
    EXPECT_EQ(choose(ThemeColour::Button, false, true, Appearance::Dark).components, rgba(0.18, 0.18, 0.19, 0.4));
    EXPECT_EQ(choose(ThemeColour::Button, false, true, Appearance::Light).components, rgba(1.0, 1.0, 1.0, 0.4));
    EXPECT_EQ(choose(ThemeColour::Button, false, false, Appearance::Dark).components, rgba(1.0, 1.0, 1.0, 0.4));
    EXPECT_STREQ(choose(ThemeColour::Image, false, true, Appearance::Dark).systemColour, "whiteColor");
    EXPECT_EQ(choose(ThemeColour::Image, false, true, Appearance::Light).components, rgba(0.9, 0.9, 0.92, 1.0));
    EXPECT_EQ(choose(ThemeColour::Image, false, false, Appearance::Dark).components, rgba(0.9, 0.9, 0.92, 1.0));
    // What each request reads: the appearance only for the button and image colours
    // without custom colours on iOS 13 or later.
    EXPECT_FALSE(themeColourReadsAppearance(ThemeColour::Font, false, true));
    EXPECT_FALSE(themeColourReadsAppearance(ThemeColour::Button, true, true));
    EXPECT_FALSE(themeColourReadsAppearance(ThemeColour::Image, false, false));
    EXPECT_TRUE(themeColourReadsAppearance(ThemeColour::Image, false, true));
    EXPECT_TRUE(themeColourReadsStoredHex(ThemeColour::Background, false));
}

class ThemeColourMethodsTest : public TweakTestEnvironment {
protected:
    void SetUp() override
    {
        TweakTestEnvironment::SetUp();
        UIKitState::reset();
        declareThemeColourCategories();
        colourSettingsInitialiser();
    }
    void TearDown() override
    {
        colourSettings = nullptr;
        colourCustomChromaEnabled = false;
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        UIKitState::reset();
        TweakTestEnvironment::TearDown();
    }

    static UIColor& colour(const char* method)
    {
        static id kept;
        kept = send<id>(objc_getClass("UIColor"), method);
        return *kept.as<UIColor>();
    }
    static RGBA components(const char* method)
    {
        UIColor& c = colour(method);
        return { c.red(), c.green(), c.blue(), c.alpha() };
    }
};

TEST_F(ThemeColourMethodsTest, CustomColoursComeFromTheSettingsAtEveryRequest)
{
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion { 14, 4, 0 });
    mainSettings->setBool(true, "toggleCustomChroma");
    EXPECT_TRUE(colourCustomChromaEnabled);
    EXPECT_EQ(components("kavButtonColor"), rgba(1, 1, 1, 1)); // absent: FFFFFF
    mainSettings->setObject("3366CC80"_ns, "buttonChroma");
    mainSettings->setObject("F00"_ns, "fontChroma");
    mainSettings->setObject(""_ns, "imageChroma");
    EXPECT_EQ(components("kavButtonColor"), rgba(0.2, 0.4, 0.8, 128 / 255.0));
    EXPECT_EQ(components("kavFontColor"), rgba(1, 0, 0, 1));
    EXPECT_EQ(components("kavImageColor"), rgba(0, 0, 0, 0)); // an empty string is not absent
    mainSettings->setObject(NSNumber::numberWithInteger(7), "backgroundChroma");
    EXPECT_EQ(components("kavBackgroundColor"), rgba(1, 1, 1, 1)); // not a string: as absent
}

TEST_F(ThemeColourMethodsTest, WithoutCustomColoursTheyFollowTheSystemAndItsAppearance)
{
    mainSettings->setObject("000000"_ns, "backgroundChroma");
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion { 12, 5, 0 });
    UITraitCollection::setUserInterfaceStyle(UIUserInterfaceStyleDark); // iOS 12 does not look
    EXPECT_EQ(colour("kavFontColor").name(), "blackColor");
    EXPECT_EQ(components("kavButtonColor"), rgba(1.0, 1.0, 1.0, 0.4));
    EXPECT_EQ(components("kavImageColor"), rgba(0.9, 0.9, 0.92, 1.0));
    EXPECT_EQ(components("kavBackgroundColor"), rgba(0, 0, 0, 1));

    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion { 13, 7, 0 });
    EXPECT_EQ(colour("kavFontColor").name(), "labelColor");
    EXPECT_EQ(components("kavButtonColor"), rgba(0.18, 0.18, 0.19, 0.4));
    EXPECT_EQ(colour("kavImageColor").name(), "whiteColor");
    UITraitCollection::setUserInterfaceStyle(UIUserInterfaceStyleLight);
    EXPECT_EQ(components("kavButtonColor"), rgba(1.0, 1.0, 1.0, 0.4));
    EXPECT_EQ(components("kavImageColor"), rgba(0.9, 0.9, 0.92, 1.0));
    EXPECT_EQ(components("kavBackgroundColor"), rgba(0, 0, 0, 1));
}

} // namespace
