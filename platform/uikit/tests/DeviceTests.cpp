#include "UIKit.h"
#include "UIKitSupport.h"
#include "UIKitTestSupport.h"

#include <gtest/gtest.h>

namespace {

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        objc_resetRuntimeForTesting();
        registerUIKitClasses();
    }
    TemporaryDeviceRoot m_root;
};

long long idiom()
{
    return send<long long>(send<id>(id(UIKitSupport::classNamed("UIDevice")), "currentDevice"), "userInterfaceIdiom");
}

CGRect screenBounds()
{
    return send<CGRect>(send<id>(id(UIKitSupport::classNamed("UIScreen")), "mainScreen"), "bounds");
}

TEST_F(DeviceTest, WithoutAConfigurationTheDeviceIsAPhoneWithoutPasscode)
{
    DeviceConfiguration configuration = DeviceConfiguration::load();
    EXPECT_EQ(configuration.idiom, DeviceConfiguration::Idiom::Phone);
    EXPECT_FALSE(configuration.passcode);
    EXPECT_TRUE(configuration.problems.empty());
    EXPECT_EQ(idiom(), UIUserInterfaceIdiomPhone);
    EXPECT_EQ(screenBounds(), CGRectMake(0, 0, 375, 812));
}

TEST_F(DeviceTest, APadTakesItsSizeAndPasscodeFromTheConfiguration)
{
    m_root.writeDeviceConfiguration({ { "idiom", "pad"_ns }, { "screenWidth", NSNumber::numberWithInteger(834) },
        { "passcode", "123456"_ns } });
    DeviceConfiguration configuration = DeviceConfiguration::load();
    EXPECT_EQ(configuration.idiom, DeviceConfiguration::Idiom::Pad);
    EXPECT_EQ(configuration.screenWidth, 834);
    EXPECT_EQ(configuration.screenHeight, 1366); // the pad's default
    EXPECT_EQ(configuration.passcode, "123456");
    EXPECT_EQ(idiom(), UIUserInterfaceIdiomPad);
    EXPECT_EQ(screenBounds(), CGRectMake(0, 0, 834, 1366));
}

TEST_F(DeviceTest, WrongValuesAreReportedAndTakeTheirDefaultsAlone)
{
    TraceRecorder trace;
    m_root.writeDeviceConfiguration({ { "idiom", "watch"_ns }, { "screenWidth", NSNumber::numberWithDouble(-3) },
        { "screenHeight", NSNumber::numberWithDouble(700) }, { "passcode", NSNumber::numberWithInteger(1234) } });
    DeviceConfiguration configuration = DeviceConfiguration::load();
    EXPECT_EQ(configuration.idiom, DeviceConfiguration::Idiom::Phone);
    EXPECT_EQ(configuration.screenWidth, 375);
    EXPECT_EQ(configuration.screenHeight, 700);
    EXPECT_FALSE(configuration.passcode);
    EXPECT_EQ(configuration.problems.size(), 3u);
    EXPECT_EQ(trace.named("device-configuration-error").size(), 3u);
}

TEST_F(DeviceTest, AFileThatIsNoDictionaryGivesTheDefaults)
{
    std::filesystem::create_directories(m_root.path() + "/var/mobile/Library");
    FILE* file = std::fopen((m_root.path() + "/var/mobile/Library/kavlor-device.plist").c_str(), "w");
    std::fputs("not a property list", file);
    std::fclose(file);
    DeviceConfiguration configuration = DeviceConfiguration::load();
    EXPECT_EQ(configuration.problems.size(), 1u);
    EXPECT_EQ(configuration.screenWidth, 375);
}

TEST_F(DeviceTest, ColoursClampTheirComponentsAndNamedOnesKeepTheirName)
{
    id colorClass = id(UIKitSupport::classNamed("UIColor"));
    id color = send<id>(colorClass, "colorWithRed:green:blue:alpha:", 2.0, -1.0, 0.5, 1.0);
    auto rgba = color.as<UIColor>();
    EXPECT_EQ(rgba->red(), 1);
    EXPECT_EQ(rgba->green(), 0);
    EXPECT_EQ(rgba->blue(), 0.5);

    id red = send<id>(colorClass, "systemRedColor");
    EXPECT_EQ(red.as<UIColor>()->name(), "systemRedColor");
    EXPECT_TRUE(send<bool>(red, "isEqual:", send<id>(colorClass, "systemRedColor")));
    EXPECT_FALSE(send<bool>(red, "isEqual:", send<id>(colorClass, "systemGreenColor")));
    EXPECT_EQ(send<id>(colorClass, "clearColor").as<UIColor>()->alpha(), 0);
    EXPECT_EQ(send<id>(send<id>(colorClass, "whiteColor"), "colorWithAlphaComponent:", 0.25).as<UIColor>()->alpha(), 0.25);
}

TEST_F(DeviceTest, LabelsStartAsOnTheDeviceAndTakeWhatTheyAreGiven)
{
    id label = UIKitSupport::allocInitWithFrame("UILabel", CGRectMake(0, 0, 60, 40));
    EXPECT_EQ(send<long long>(label, "numberOfLines"), 1);
    EXPECT_EQ(send<long long>(label, "textAlignment"), NSTextAlignmentNatural);
    EXPECT_EQ(send<id>(label, "textColor").as<UIColor>()->name(), "labelColor");
    EXPECT_EQ(send<double>(send<id>(label, "font"), "pointSize"), 17);

    id fontClass = id(UIKitSupport::classNamed("UIFont"));
    send(label, "setFont:", send<id>(fontClass, "fontWithName:size:", id("Helvetica-Bold"_ns), 20.0));
    send(label, "setText:", id("5:00"_ns));
    send(label, "setTextAlignment:", 1LL);
    EXPECT_EQ(UIKitSupport::stringValue(send<id>(send<id>(label, "font"), "fontName")), "Helvetica-Bold");
    EXPECT_EQ(label.as<UILabel>()->textString(), "5:00");
    EXPECT_EQ(send<long long>(label, "textAlignment"), NSTextAlignmentCenter);
    EXPECT_FALSE(send<id>(fontClass, "fontWithName:size:", id(""_ns), 20.0));
}

} // namespace
