// A guest's restrictions on the simulated device, end to end: SpringBoard hosts with the real
// libKavlor.so, killall, sbreload and kavlorctl, across resprings.

#include "DeviceTest.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace {

class GuestRestrictions : public DeviceTest<> {
protected:
    std::vector<std::string> dock() { return ask(Json { { "command", "icons" } })["dock"].get<std::vector<std::string>>(); }
    std::vector<std::vector<std::string>> pages() { return ask(Json { { "command", "icons" } })["pages"].get<std::vector<std::vector<std::string>>>(); }

    // Mira: Safari disabled; notifications, search and the Today view blocked.
    void setUpMira()
    {
        play(fmt::format(R"(
            kavlorctl user add Admin --passcode 123456
            kavlorctl user add Mira --passcode 2468 --wallpaper "{}/wallpaper-dusk.png" --block notifications,search,today
            kavlorctl apps disable Mira com.apple.mobilesafari
            kavlorctl set toggleKavlor true
        )", KAVLOR_SAMPLES_DIR));
    }

    void startVisit()
    {
        play(R"(
            kavlorctl set activeUser Mira
            kavlorctl set isKavlorActive true
            respring
            expect new-springboard
        )");
    }

    // Logout: the end notification, then the end handler's writes and respring.
    void endVisit()
    {
        play(R"(
            post-local com.Quennic.Kavlor/endGuestMode
            expect new-springboard
            expect setting activeUser Admin
        )");
    }

};

TEST_F(GuestRestrictions, TheOwnersLayoutSurvivesAGuestWhoMovedAndLostIconsAcrossSpringBoards)
{
    install("14.4");
    setUpMira();
    play("boot");
    auto ownerPages = pages();
    auto ownerDock = dock();
    ASSERT_EQ(ownerDock.size(), 4u);
    startVisit();
    play(R"(
        expect icon com.apple.mobilesafari absent
        move-icon com.apple.Maps 3 0
        close-box com.example.game
        expect app com.example.game deleted
        # a second guest SpringBoard starts from SpringBoard's own storage, the guest's layout
        respring
        expect page 3 com.apple.Maps
        expect icon com.example.game absent
    )");
    EXPECT_NE(pages(), ownerPages);
    endVisit();
    EXPECT_EQ(pages(), ownerPages);
    EXPECT_EQ(dock(), ownerDock);
    // and it stays the owner's at every later owner start
    play("respring");
    EXPECT_EQ(pages(), ownerPages);
}

TEST_F(GuestRestrictions, AnAppEnabledDuringTheVisitIsPlacedAndNoLongerKilledWithoutARespring)
{
    install("14.4");
    setUpMira();
    play("boot");
    startVisit();
    play(R"(
        launch-app com.apple.mobilesafari MobileSafari
        expect event kill name=MobileSafari
        home
        expect icon com.apple.mobilesafari absent
        kavlorctl apps enable Mira com.apple.mobilesafari
        launch-app com.apple.mobilesafari MobileSafari
        expect no-event kill
        expect no-event spawn path=/usr/bin/killall
        home
        expect same-springboard
        expect icon com.apple.mobilesafari placed
        expect image-views 1
    )");
}

TEST_F(GuestRestrictions, OnIOS12TheSameGuestIsRestrictedWithoutTheAppLibraryRows)
{
    install("12.5");
    setUpMira();
    play("boot");
    startVisit();
    play(R"(
        expect event springboard-start ios=12.5 groups=panel,base,switching,guest
        expect hooks 33
        expect no-hook SBHLibrarySearchController searchBarShouldBeginEditing:
        expect icon com.apple.mobilesafari absent
        launch-app com.apple.mobilesafari MobileSafari
        expect event kill name=MobileSafari
        launch-app com.apple.SiriViewService SiriViewService
        expect event kill name=SiriViewService
        bulletin com.apple.mobilesafari "Reading list"
        expect bulletin com.apple.mobilesafari dropped
        bulletin com.apple.MobileSMS "Hello"
        expect bulletin com.apple.MobileSMS published
        gesture search
        expect gesture search refused
        gesture today
        expect gesture today refused
        today
        expect today notice
        camera
        expect camera refused
        home
        expect wallpaper 180x320
    )");
    endVisit();
    play("expect icon com.apple.mobilesafari placed");
    EXPECT_EQ(dock()[1], "com.apple.mobilesafari");
}

TEST_F(GuestRestrictions, ForTheOwnerEveryFeatureIsOpenAndNothingIsKilled)
{
    install("14.4");
    setUpMira();
    play(R"(
        boot
        # no activeUser yet: not the owner for the wallpaper, so an image view without image
        home
        expect wallpaper no-image
        kavlorctl set activeUser Admin
        respring
        gesture search
        expect gesture search began
        gesture today
        expect gesture today began
        today
        expect today widgets
        camera
        expect camera opened
        bulletin com.apple.mobilesafari "Reading list"
        expect bulletin com.apple.mobilesafari published
        launch-app com.apple.SiriViewService SiriViewService
        expect no-event kill
        home
        expect wallpaper none
        close-box com.apple.Maps
        expect app com.apple.Maps deleted
    )");
}

TEST_F(GuestRestrictions, MistypedRestrictionCommandsAreRefusedBeforeTheDeviceBoots)
{
    install("14.4");
    struct Case {
        const char* line;
        const char* message;
    };
    for (const auto& [line, message] : std::vector<Case> {
             { "gesture sideways", "\"sideways\" is not a gesture (control-center, search, today)" },
             { "expect bulletin com.apple.Maps lost", "\"lost\" is not a bulletin's outcome (dropped, published)" },
             { "move-icon com.apple.Maps 0 1", "pages are counted from 1" },
             { "expect image-views some", "\"some\" is not a whole number (0 or more)" },
             { "bulletin com.apple.Maps", "wrong number of words for bulletin: usage: bulletin BUNDLE_ID TEXT" } }) {
        std::ostringstream out, err;
        ScenarioRunner::Options options;
        options.kavlorctlPath = KAVLORCTL_PATH;
        ScenarioRunner fresh(m_root.path(), options, out, err);
        EXPECT_EQ(fresh.runScript(std::string("boot\n") + line + "\n", "typo.txt"), 2) << line;
        EXPECT_NE(err.str().find(std::string("typo.txt:2: ") + message), std::string::npos) << err.str();
        EXPECT_EQ(out.str().find("springboard-launch"), std::string::npos) << "nothing booted";
    }
}

} // namespace
