#include "GuestSpringBoardTest.h"

namespace {

using Strings = std::vector<std::string>;

TEST(GuestModeNeedsEnding, OnlyTheOwnerWithGuestModeOffIsLeftAlone)
{
    EXPECT_FALSE(guestModeNeedsEnding(false, "Admin"_ns));
    EXPECT_TRUE(guestModeNeedsEnding(true, "Admin"_ns)) << "guest mode still on";
    EXPECT_TRUE(guestModeNeedsEnding(false, "Emma"_ns)) << "a guest still active";
    EXPECT_TRUE(guestModeNeedsEnding(false, nil)) << "an absent name is not the owner";
    EXPECT_TRUE(guestModeNeedsEnding(false, ""_ns));
    EXPECT_TRUE(guestModeNeedsEnding(false, "admin"_ns)) << "the owner's name differs only in case";
    EXPECT_TRUE(guestModeNeedsEnding(false, "ADMIN"_ns));
}

TEST(SwitcherClearingFor, FollowsTheSystemVersion)
{
    EXPECT_EQ(switcherClearingFor(true, true), (SwitcherClearing { true, true, false }));
    EXPECT_EQ(switcherClearingFor(true, false), (SwitcherClearing { false, true, false }));
    EXPECT_EQ(switcherClearingFor(false, false), (SwitcherClearing { false, false, true }));
}

class GuestModeSwitchingTest : public GuestSpringBoardTest {
protected:
    void SetUp() override
    {
        GuestSpringBoardTest::SetUp();
        writeUsers({ { "Admin", guestRecord("Admin") }, { "Guest", guestRecord("Guest") } });
    }

    void useApps(const Strings& bundleIdentifiers)
    {
        auto& switcher = UIKitSupport::objectAs<SBMainSwitcherViewController>(SpringBoardApp::current()->switcherController(), "switcher");
        for (const auto& bundleIdentifier : bundleIdentifiers)
            switcher.noteApplicationLaunched(bundleIdentifier);
    }

    // Each card removed so far: "how bundle-identifier reason".
    Strings removals() const
    {
        Strings result;
        for (const auto& event : eventsNamed("switcher-layout-removed"))
            result.push_back(event.field("how") + " " + event.field("bundleIdentifier") + " " + event.field("reason"));
        return result;
    }

    static void post(const char* name)
    {
        NSNotificationCenter::defaultCenter()->postNotificationName(NSString::string(name), nil, nil);
    }

    void appearAgain()
    {
        SpringBoardApp::current()->setHomeScreenVisible(false);
        SpringBoardApp::current()->setHomeScreenVisible(true);
    }
};

TEST_F(GuestModeSwitchingTest, StartClearsTheSwitcherAsEachSystemDoesThenResprings)
{
    struct Case {
        int ios;
        Strings removals;
    };
    // Most recent first: Maps was opened last.
    const std::vector<Case> cases {
        { 14, { "matching bundle identifier com.apple.Maps 1", "matching bundle identifier com.apple.camera 1" } },
        { 13, { "delete com.apple.Maps 1", "delete com.apple.camera 1" } },
        { 12, { "quit com.apple.Maps 1", "quit com.apple.camera 1" } },
    };
    for (const auto& [ios, expected] : cases) {
        m_trace.clear();
        forgetGuestModeHandlersForTesting();
        NSNotificationCenter::defaultCenter()->resetForTesting();
        int respringsBefore = respringCount();
        SpringBoardApp& app = launch(ios);
        useApps({ "com.apple.camera", "com.apple.Maps" });
        activateGuest("Guest");
        post(kStartGuestModeNotification);
        EXPECT_EQ(removals(), expected) << "iOS " << ios;
        EXPECT_TRUE(app.switcherBundleIdentifiers().empty()) << "iOS " << ios;
        EXPECT_EQ(respringCount(), respringsBefore + 1) << "iOS " << ios;
        EXPECT_TRUE(isEqual(activeUser, "Guest"_ns)) << "the start handler reads the chosen guest";
        ASSERT_TRUE(crntUserData);
        EXPECT_TRUE(recordString(crntUserData, RecordKey::userName)->isEqualToString("Guest"));
    }
}

TEST_F(GuestModeSwitchingTest, TheRespringSpawnsSbreloadAloneWithoutArgumentsAndWaitsForIt)
{
    launch(14);
    activateGuest("Guest");
    post(kStartGuestModeNotification);
    auto spawns = eventsNamed("spawn");
    ASSERT_EQ(spawns.size(), 1u);
    EXPECT_EQ(spawns[0].field("path"), "/usr/bin/sbreload");
    EXPECT_EQ(spawns[0].field("argv"), "sbreload");
    // The blocking wait: the child has finished its work when the handler returns.
    EXPECT_EQ(respringCount(), 1);
}

TEST_F(GuestModeSwitchingTest, AFailedSpawnReturnsWithoutWaitingAndWithoutRespring)
{
    std::filesystem::remove(m_root / "usr/bin/sbreload");
    launch(14);
    useApps({ "com.apple.camera" });
    activateGuest("Guest");
    post(kStartGuestModeNotification);
    EXPECT_EQ(eventsNamed("spawn-failed").size(), 1u);
    EXPECT_TRUE(SpringBoardApp::current()->switcherBundleIdentifiers().empty()) << "the clearing happened before";
}

TEST_F(GuestModeSwitchingTest, ACardWithoutAppsIsSkippedByTheDeletionByBundleIdentifier)
{
    launch(14);
    EXPECT_FALSE(firstItemBundleIdentifier(UIKitSupport::allocInit("SBAppLayout")));
    EXPECT_FALSE(firstItemBundleIdentifier(nil));
    EXPECT_TRUE(isEqual(firstItemBundleIdentifier(SBAppLayout::layoutForApplication("com.apple.camera")), "com.apple.camera"_ns));
}

TEST_F(GuestModeSwitchingTest, EndWritesTheOwnerAndResprings_UnlessTheOwnerIsActiveWithGuestModeOff)
{
    struct Case {
        bool kavlorActive;
        id user;
        bool ends;
    };
    const std::vector<Case> cases {
        { false, "Admin"_ns, false },
        { false, "Guest"_ns, true },
        { true, "Admin"_ns, true },
        { false, nil, true },
        { false, "admin"_ns, true },
    };
    launch(14);
    for (const auto& [kavlorActive, user, ends] : cases) {
        mainSettings->setObject(nil, Key::activeUser);
        mainSettings->setObject(nil, Key::isKavlorActive);
        m_trace.clear();
        int before = respringCount();
        // The handler tests the module values as last set, not the settings.
        isKavlorActive = kavlorActive;
        activeUser = user;
        post(kEndGuestModeNotification);
        std::string label = fmt::format("flag {} user {}", kavlorActive, user ? user.as<NSString>()->utf8() : "absent");
        EXPECT_EQ(respringCount(), before + (ends ? 1 : 0)) << label;
        Strings writes;
        for (const auto& event : eventsNamed("settings-write"))
            writes.push_back(event.field("key") + "=" + event.field("value"));
        EXPECT_EQ(writes, (ends ? Strings { "activeUser=Admin", "isKavlorActive=NO" } : Strings {})) << label;
    }
}

TEST_F(GuestModeSwitchingTest, PostingsBeforeTheHomeScreenAppearedDoNothing)
{
    loadLibrary(14);
    m_trace.clear();
    isKavlorActive = true;
    post(kEndGuestModeNotification);
    post(kStartGuestModeNotification);
    EXPECT_EQ(respringCount(), 0);
    EXPECT_TRUE(eventsNamed("settings-write").empty());
}

TEST_F(GuestModeSwitchingTest, HomeScreenAppearingAgainRegistersNothingMore)
{
    launch(14);
    size_t observers = NSNotificationCenter::defaultCenter()->observerCount();
    appearAgain();
    appearAgain();
    EXPECT_EQ(NSNotificationCenter::defaultCenter()->observerCount(), observers);
    isKavlorActive = true;
    post(kEndGuestModeNotification);
    EXPECT_EQ(respringCount(), 1) << "one posting, one respring";
    post(kStartGuestModeNotification);
    EXPECT_EQ(respringCount(), 2);
}

} // namespace
