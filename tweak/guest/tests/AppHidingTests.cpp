#include "AppHiding.h"
#include "RestrictionSpringBoardTest.h"

#include "SBIcon.h"
#include "SBIconListModel.h"

namespace {

using Strings = std::vector<std::string>;

TEST(AppHidingDecisionTest, ListedAppsAndSirisViewServiceEndListedAppsAloneAreRefused)
{
    auto disabled = NSArray::array({ "com.apple.mobilesafari"_ns });
    EXPECT_TRUE(processMustEnd(disabled, "com.apple.mobilesafari"_ns));
    EXPECT_TRUE(processMustEnd(disabled, "com.apple.SiriViewService"_ns));
    EXPECT_TRUE(processMustEnd(nullptr, "com.apple.SiriViewService"_ns)) << "for every guest, listed or not";
    EXPECT_FALSE(processMustEnd(disabled, "com.apple.Maps"_ns));
    EXPECT_FALSE(processMustEnd(disabled, nil));
    EXPECT_FALSE(processMustEnd(disabled, "com.apple.siriviewservice"_ns)) << "compared exactly";

    EXPECT_TRUE(iconRefused(disabled, "com.apple.mobilesafari"_ns));
    EXPECT_FALSE(iconRefused(disabled, "com.apple.SiriViewService"_ns)) << "Siri has no icon to refuse";
    EXPECT_FALSE(iconRefused(disabled, nil)) << "an icon without a bundle identifier";
    EXPECT_FALSE(iconRefused(nullptr, "com.apple.mobilesafari"_ns));
}

class AppHidingShellTest : public RestrictionSpringBoardTest {
protected:
    SpringBoardApp& launchGuest(std::vector<std::string> disabled)
    {
        writeUsers({ { "Guest", guestRecord("Guest") } });
        writeAppList({ { "Guest", disabledList(std::move(disabled)) } });
        writeIconState({ "com.apple.camera", "com.apple.mobilesafari", "com.apple.Maps" });
        activate("Guest");
        return launch();
    }

    static Strings killTasks(const TraceRecorder& trace)
    {
        Strings argvs;
        for (const auto& spawn : trace.named("spawn")) {
            if (spawn.field("path") == "/usr/bin/killall")
                argvs.push_back(spawn.field("argv"));
        }
        return argvs;
    }
};

TEST_F(AppHidingShellTest, DisabledIconsAreRefusedAtEveryPlacementUntilTheAppIsEnabledAgain)
{
    SpringBoardApp& app = launchGuest({ "com.apple.mobilesafari" });
    EXPECT_EQ(app.iconPages(), (std::vector<Strings> { { "com.apple.camera", "com.apple.Maps" } }));
    id list = send<id>(app.iconModel(), "iconLists").as<NSArray>()->objectAtIndex(0);
    id safari = SBIcon::applicationIcon("com.apple.mobilesafari");
    EXPECT_FALSE(send<id>(list, "placeIcon:atIndex:", safari, 0ULL));
    EXPECT_FALSE(send<id>(list, "insertIcon:atIndex:options:", safari, 0ULL, 0ULL));
    EXPECT_FALSE(send<id>(list, "addIcon:asDirty:", safari, true));
    EXPECT_EQ(list.as<SBIconListModel>()->bundleIdentifiers(), (Strings { "com.apple.camera", "com.apple.Maps" }));
    id folder = SBIcon::iconForStateEntry(NSDictionary::dictionary({ { "iconLists", NSArray::array() } }));
    EXPECT_EQ(send<id>(list, "addIcon:asDirty:", folder, true), folder) << "an icon without a bundle identifier is placed";

    writeAppList({ { "Guest", disabledList({}) } });
    EXPECT_EQ(send<id>(list, "placeIcon:atIndex:", safari, 1ULL), safari) << "the list is read at every placement";
}

TEST_F(AppHidingShellTest, AskingAboutADisabledProcessStartsAKillTaskEachTimeAndKeepsTheAnswer)
{
    SpringBoardApp& app = launchGuest({ "com.apple.mobilesafari" });
    TraceRecorder trace;
    auto& manager = *app.processManager().as<FBProcessManager>();
    id safari = manager.launch("com.apple.mobilesafari", "MobileSafari");
    EXPECT_TRUE(send<bool>(safari, "isForeground")) << "SpringBoard's own answer, also for a process told to end";
    EXPECT_TRUE(send<bool>(safari, "isForeground"));
    EXPECT_EQ(killTasks(trace), (Strings { "/usr/bin/killall MobileSafari", "/usr/bin/killall MobileSafari" }));

    id siri = manager.launch("com.apple.SiriViewService", "SiriViewService");
    id maps = manager.launch("com.apple.Maps", "Maps");
    EXPECT_FALSE(send<bool>(siri, "isForeground"));
    EXPECT_TRUE(send<bool>(maps, "isForeground"));
    EXPECT_EQ(killTasks(trace).size(), 3u) << "Siri's view service, not Maps";
    EXPECT_EQ(killTasks(trace).back(), "/usr/bin/killall SiriViewService");
}

TEST_F(AppHidingShellTest, TheForegroundQuestionRefreshesTheRecordThenTheListOfTheAccountReadNow)
{
    SpringBoardApp& app = launchGuest({ "com.apple.mobilesafari" });
    writeUsers({ { "Guest", guestRecord("Guest") }, { "Other", guestRecord("Other") } });
    writeAppList({ { "Guest", disabledList({ "com.apple.mobilesafari" }) }, { "Other", disabledList({ "com.apple.Maps" }) } });
    settings()->setObject("Other"_ns, Key::activeUser);
    TraceRecorder trace;
    id maps = app.processManager().as<FBProcessManager>()->launch("com.apple.Maps", "Maps");
    send<bool>(maps, "isForeground");
    EXPECT_TRUE(recordString(crntUserData, "UserName")->isEqualToString("Other"));
    EXPECT_TRUE(listContains(disabledApps, "com.apple.Maps"_ns));
    EXPECT_EQ(killTasks(trace), (Strings { "/usr/bin/killall Maps" }));
}

} // namespace
