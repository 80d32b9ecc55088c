// A guest's visit on the simulated device, on each system the product serves: the start
// and end of guest mode with their resprings, the guest's own passcode on the lock
// screen, and the time limit running out on the device's virtual clock.

#include "DeviceTest.h"

#include <algorithm>

namespace {

using Json = nlohmann::ordered_json;

class GuestVisit : public DeviceTest<::testing::TestWithParam<std::string>> {
protected:
    void SetUp() override
    {
        DeviceSpec spec;
        spec.iosVersion = GetParam();
        spec.passcode = "123456";
        install(spec);
    }
};

TEST_P(GuestVisit, TheGuestUnlocksWithTheirOwnPasscodeAndTheTimeLimitEndsTheVisit)
{
    play(R"(
        kavlorctl user add Admin --passcode 0000
        kavlorctl user add Noah --passcode 2468 --block time-limit --time-limit 0
        kavlorctl set adminPasscode 123456
        kavlorctl set toggleKavlor true
        boot
        kavlorctl set activeUser Noah
        kavlorctl set isKavlorActive true
        respring
        expect event springboard-start groups=panel,base,switching,guest
        expect locked
        unlock 1357
        expect locked
        expect no-event unlock-attempt source=owner
        unlock 0000
        expect locked
        unlock 2468
        expect event unlock-attempt source=typed result=refused
        expect event unlock-attempt source=owner result=verified finishUIUnlock=NO
        expect event unlock-attempt source=owner result=unlocked finishUIUnlock=YES
        expect event unlocked
        expect unlocked
        wait 1
        expect countdown 5:02
        wait 303
        expect countdown 0:00
        expect same-springboard
        wait 1
        expect log "aaaaa timers is zero lets exit focusMode"
        expect new-springboard
        expect event springboard-start groups=panel,base,switching pid=$pid
        expect setting activeUser Admin
        expect setting isKavlorActive NO
        expect locked
    )");
    // The respring came from SpringBoard itself, 305 seconds after the guest's SpringBoard
    // started counting.
    auto resprings = eventsNamed("respring");
    ASSERT_EQ(resprings.size(), 2u);
    auto starts = eventsNamed("springboard-start");
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_NEAR(resprings[1].value("time", 0.0) - starts[1].value("time", 0.0), 305, 1e-6);
    EXPECT_EQ(resprings[1]["requester"], starts[1]["pid"]) << "sbreload was started by the guest's SpringBoard";
}

TEST_P(GuestVisit, AppsOpenedBeforeAreGoneFromTheSwitcherWhenGuestModeStarts)
{
    play(R"(
        kavlorctl user add Admin --passcode 0000
        kavlorctl user add Emma --passcode 1111
        kavlorctl set toggleKavlor true
        boot
        launch-app com.apple.mobilesafari MobileSafari
        launch-app com.apple.camera Camera
        switcher
        kavlorctl set activeUser Emma
        kavlorctl set isKavlorActive true
        post-local com.Quennic.Kavlor/startGuestMode
        expect event switcher-layout-removed bundleIdentifier=com.apple.camera pid=$previous-pid
        expect event switcher-layout-removed bundleIdentifier=com.apple.mobilesafari pid=$previous-pid
        expect new-springboard
        expect event springboard-start groups=panel,base,switching,guest
        expect switcher-empty
    )");
    EXPECT_NE(m_out.str().find("switcher: com.apple.camera, com.apple.mobilesafari\n"), std::string::npos) << m_out.str();
    const std::string how = GetParam() == "14.4" ? "matching bundle identifier" : GetParam() == "13.7" ? "delete" : "quit";
    auto removals = eventsNamed("switcher-layout-removed");
    ASSERT_EQ(removals.size(), 2u);
    for (const auto& removal : removals) {
        EXPECT_EQ(removal["how"], how);
        EXPECT_EQ(removal["reason"], "1");
    }
    // Cleared before the respring began.
    auto resprings = eventsNamed("respring");
    ASSERT_EQ(resprings.size(), 1u);
    size_t lastRemoval = 0, respring = 0;
    const auto& events = runner().events();
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i].value("event", std::string()) == "switcher-layout-removed")
            lastRemoval = i;
        if (events[i].value("event", std::string()) == "respring")
            respring = i;
    }
    EXPECT_LT(lastRemoval, respring);
}

TEST_P(GuestVisit, AfterTheHomeScreenAppearedAgainOnePostingOfTheEndRespringsOnce)
{
    play(R"(
        kavlorctl user add Admin --passcode 0000
        kavlorctl user add Emma --passcode 1111
        kavlorctl set toggleKavlor true
        kavlorctl set activeUser Emma
        kavlorctl set isKavlorActive true
        boot
        launch-app com.apple.camera Camera
        go-home
        launch-app com.apple.mobilesafari MobileSafari
        go-home
        post-local com.Quennic.Kavlor/endGuestMode
        expect new-springboard
        expect count respring 1
        expect count springboard-start 2
        expect setting activeUser Admin
        expect setting isKavlorActive NO
        expect event springboard-start groups=panel,base,switching pid=$pid
    )");
}

INSTANTIATE_TEST_SUITE_P(EverySystem, GuestVisit, ::testing::Values("12.5", "13.7", "14.4"),
    [](const ::testing::TestParamInfo<std::string>& info) {
        std::string name = "iOS" + info.param;
        std::replace(name.begin(), name.end(), '.', '_');
        return name;
    });

} // namespace
