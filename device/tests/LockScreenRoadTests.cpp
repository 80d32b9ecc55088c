// The road of one guest visit, on each simulated device (iOS 12.5, 13.7 and 14.4; phone and
// pad), with real processes: the owner double-taps the lock screen, the hidden panel comes
// back, the owner taps a guest and confirms, SpringBoard restarts into guest mode, the guest
// unlocks with her own passcode, her disabled app is hidden and killed, and she logs out from
// the panel. Also the first-launch notice.

#include "DeviceTest.h"
#include "ImageDecoder.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>

namespace {

struct Device {
    const char* ios;
    const char* idiom;
};

void PrintTo(const Device& device, std::ostream* out)
{
    *out << "iOS " << device.ios << " " << device.idiom;
}

class GuestVisitRoad : public DeviceTest<::testing::TestWithParam<Device>> { };

TEST_P(GuestVisitRoad, TheWholeRoadOfOneGuestVisit)
{
    DeviceSpec spec;
    spec.iosVersion = GetParam().ios;
    spec.idiom = GetParam().idiom;
    install(spec);
    bool iOS12 = spec.iosVersion.starts_with("12");
    std::string scrollView = iOS12 ? "SBPagedScrollView" : "CSScrollView";
    std::string coverSheet = iOS12 ? "SBDashBoardViewController" : "CSCoverSheetViewController";
    play(fmt::format(R"SCRIPT(
        kavlorctl user add Admin --passcode 123456
        kavlorctl user add Mira --passcode 2468
        kavlorctl apps disable Mira com.apple.camera
        kavlorctl set adminPasscode 123456
        kavlorctl set toggleKavlor true
        kavlorctl set hideLSAccount true
        kavlorctl set showImportantAlert false
        boot
        expect panel panel hidden=YES
        observe-local ShowUserAccountNotification

        # 1. the owner double-taps the notification area: the hidden panel comes back
        tap lockscreen 1
        expect no-event observed
        tap lockscreen 2
        expect event gesture-recognized view={0}
        expect event observed name=ShowUserAccountNotification object={0}
        expect setting hideLSAccount NO
        expect panel panel hidden=NO
        expect event stack-view-layout visible=1
        wait 0.5
        expect event view-animation kind=transition duration=0.3
        expect panel panel alpha=1 scale=1
        expect panel-cells 2

        # 2. the owner taps the guest and confirms
        tap account Mira
        expect alert Kavlor YES|NO
        expect event alert title=Kavlor presenter={1} actions=YES|NO styles=0|0
        expect event alert "message~for user "
        expect log "aaaaaaa userName:-Mira"
        alert tap YES
        expect event alert-action action=YES
        expect setting activeUser Mira
        expect setting isKavlorActive YES
        expect event notification centre=local name=com.Quennic.Kavlor/startGuestMode
        expect no-alert

        # 3. the start handler resprings into guest mode
        expect new-springboard
        expect event springboard-start groups=panel,base,switching,guest

        # 4. the guest types her own passcode; the owner's stored one unlocks
        unlock 2468
        expect event unlock-attempt source=owner result=unlocked
        expect unlocked

        # 5. her disabled app is not on the home screen; brought forward, it is killed
        icons
        expect icon com.apple.camera absent
        launch-app com.apple.camera Camera
        expect event kill name=Camera

        # 6. Logout from the panel's settings sheet: the owner is back, with the camera
        lock
        tap lockscreen 2
        wait 0.5
        tap settings
        wait 0.5
        tap logout
        expect new-springboard
        expect setting activeUser Admin
        expect setting isKavlorActive NO
        expect event springboard-start groups=panel,base,switching
        unlock 123456
        expect unlocked
        expect icon com.apple.camera placed
    )SCRIPT",
        scrollView, coverSheet));
}

INSTANTIATE_TEST_SUITE_P(EverySimulatedDevice, GuestVisitRoad,
    ::testing::Values(Device { "12.5", "phone" }, Device { "12.5", "pad" }, Device { "13.7", "phone" }, Device { "13.7", "pad" },
        Device { "14.4", "phone" }, Device { "14.4", "pad" }),
    [](const ::testing::TestParamInfo<Device>& info) {
        std::string name = fmt::format("iOS{}_{}", info.param.ios, info.param.idiom);
        std::erase(name, '.');
        return name;
    });

// The screen shows the panel where its layout put it: sampled at the solved frames of the
// settings button and of the first avatar, on a phone and on a pad.
class PanelScreenshot : public DeviceTest<::testing::TestWithParam<const char*>> { };

TEST_P(PanelScreenshot, ThePanelIsDrawnAtItsSolvedFrames)
{
    DeviceSpec spec;
    spec.idiom = GetParam();
    install(spec);
    play(R"SCRIPT(
        kavlorctl user add Admin --passcode 123456
        kavlorctl user add Mira --passcode 2468
        kavlorctl set toggleKavlor true
        kavlorctl set showImportantAlert false
        boot
    )SCRIPT");
    auto panel = ask({ { "command", "panel" } });
    auto frameOf = [&](const std::string& name) {
        for (const auto& view : panel.at("views"))
            if (view.value("name", std::string()) == name)
                return view.at("frame");
        ADD_FAILURE() << "no view " << name;
        return ScenarioRunner::Json::array({ 0, 0, 0, 0 });
    };
    std::string picture = m_root.path() + "/screen.png";
    auto shot = ask({ { "command", "screenshot" }, { "path", picture } });
    auto bitmap = decodeImageFile(picture);
    ASSERT_TRUE(bitmap);
    double scale = shot.value("scale", 0.0);
    ASSERT_GT(scale, 0);
    // Each pixel as 0-255 components (the screen is opaque, so premultiplying changes nothing).
    auto pixelAt = [&](double x, double y) {
        size_t at = (static_cast<size_t>(y * scale) * bitmap->width + static_cast<size_t>(x * scale)) * 4;
        return std::array<int, 3> { bitmap->pixels[at + 2], bitmap->pixels[at + 1], bitmap->pixels[at] };
    };
    auto centreOf = [](const ScenarioRunner::Json& frame) {
        return std::pair<double, double> { frame[0].get<double>() + frame[2].get<double>() / 2, frame[1].get<double>() + frame[3].get<double>() / 2 };
    };
    // The settings button: white at 0.4 over the light blur, a light grey.
    auto [buttonX, buttonY] = centreOf(frameOf("settingButton"));
    auto button = pixelAt(buttonX, buttonY);
    EXPECT_GT(button[0], 200) << buttonX << "," << buttonY;
    EXPECT_GT(button[1], 200);
    EXPECT_GT(button[2], 200);
    // Below the panel the wallpaper shows, not the panel's light strip.
    auto panelFrame = frameOf("panel");
    auto below = pixelAt(buttonX, panelFrame[1].get<double>() + panelFrame[3].get<double>() + 40);
    EXPECT_LT(below[0] + below[1] + below[2], 3 * 200);
    // The first avatar: its picture (a grey silhouette on a grey disc), not the strip behind it.
    auto [avatarX, avatarY] = centreOf(frameOf("cell[0].avatarImage"));
    auto avatarFrame = frameOf("cell[0].avatarImage");
    auto avatarEdge = pixelAt(avatarX, avatarFrame[1].get<double>() + avatarFrame[3].get<double>() - 4);
    auto strip = pixelAt(avatarX, avatarFrame[1].get<double>() - 4);
    EXPECT_NE(avatarEdge, strip);

    // Asked for one pixel a point (a page on an ordinary display), the same screen at the
    // points' size; finer than the screen's own, the screen's own; no scale at all, refused.
    uint32_t ownWidth = bitmap->width;
    shot = ask({ { "command", "screenshot" }, { "path", picture }, { "scale", 1 } });
    bitmap = decodeImageFile(picture);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(shot.value("scale", 0.0), 1.0);
    EXPECT_EQ(shot.value("screenScale", 0.0), scale);
    EXPECT_EQ(bitmap->width, shot.value("width", 0u));
    EXPECT_EQ(bitmap->width, static_cast<uint32_t>(std::lround(ownWidth / scale)));
    double ownScale = scale;
    scale = 1;
    button = pixelAt(buttonX, buttonY);
    EXPECT_GT(button[0] + button[1] + button[2], 3 * 200) << "the settings button, at 1x";
    EXPECT_NE(pixelAt(avatarX, avatarFrame[1].get<double>() + avatarFrame[3].get<double>() - 4), pixelAt(avatarX, avatarFrame[1].get<double>() - 4));
    shot = ask({ { "command", "screenshot" }, { "path", picture }, { "scale", 7.5 } });
    EXPECT_EQ(shot.value("scale", 0.0), ownScale);
    for (auto refused : { ScenarioRunner::Json(0), ScenarioRunner::Json(-2), ScenarioRunner::Json("two") }) {
        try {
            ask({ { "command", "screenshot" }, { "path", picture }, { "scale", refused } });
            ADD_FAILURE() << "a screenshot at scale " << refused.dump() << " was drawn";
        } catch (const ScenarioFailure& failure) {
            EXPECT_NE(std::string(failure.what()).find("a screenshot's scale is a number of pixels a point above 0, not " + refused.dump()),
                std::string::npos) << failure.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PhoneAndPad, PanelScreenshot, ::testing::Values("phone", "pad"));

class FirstLaunchNotice : public DeviceTest<> {
protected:
    void SetUp() override { install(); }
};

TEST_F(FirstLaunchNotice, ShownAtEveryStartUntilOkayAlsoWithTheTweakSwitchedOff)
{
    play(R"SCRIPT(
        boot
        expect event springboard-start groups=base
        expect alert "IMPORTANT NOTE!" Okay
        expect event alert presenter=SBIconController "message~(TweakName)"
        respring
        expect alert "IMPORTANT NOTE!"
        alert tap Okay
        expect setting showImportantAlert NO
        expect no-alert
        respring
        expect no-alert
        expect no-event alert
    )SCRIPT");
}

using PanelOnTheDevice = FirstLaunchNotice;

TEST_F(PanelOnTheDevice, AFingerReachesOnlyWhatAPersonSees)
{
    play(R"SCRIPT(
        kavlorctl user add Mira --passcode 2468
        kavlorctl set toggleKavlor true
        kavlorctl set showImportantAlert false
        boot
        lock
        expect event lock
    )SCRIPT");
    // The settings sheet is transparent while the account list shows: its buttons are out of reach.
    EXPECT_NE(refused("tap dismiss").find("cannot be tapped now"), std::string::npos);
    EXPECT_NE(refused("tap account Otto").find("accounts that can be tapped: Mira"), std::string::npos);
    EXPECT_NE(refused("alert tap YES").find("no alert is presented"), std::string::npos);
}

} // namespace
