#include "DeviceUser.h"
#include "FileSystem.h"
#include "SpringBoardTestSupport.h"

#include <string>
#include <vector>

namespace {

using Pages = std::vector<std::vector<std::string>>;
using Strings = std::vector<std::string>;

Id<NSDictionary> iconStateOnDisk()
{
    return PropertyList::readDictionaryFile(SBDefaultIconModelStore::defaultPath);
}

Pages pagesOnDisk()
{
    Pages pages;
    auto state = iconStateOnDisk();
    auto lists = state->valueForKey<NSArray>("iconLists");
    for (const auto& page : *lists) {
        pages.emplace_back();
        for (const auto& entry : *page.as<NSArray>())
            pages.back().push_back(describe(entry));
    }
    return pages;
}

// Icon state ---------------------------------------------------------------------------------

class IconStateTest : public SpringBoardTest {
protected:
    void SetUp() override { registerVersion(13); }
};

TEST_F(IconStateTest, LaunchFillsTheIconListsFromSpringBoardsIconState)
{
    writeIconState({ { "com.apple.mobilesafari", "com.apple.camera" }, { "com.apple.Maps" } }, { "com.apple.mobilephone" });
    SpringBoardApp& app = SpringBoardApp::launch();
    DeviceUser user(app);
    EXPECT_EQ(app.iconPages(), (Pages { { "com.apple.mobilesafari", "com.apple.camera" }, { "com.apple.Maps" } }));
    EXPECT_EQ(app.dockIcons(), (Strings { "com.apple.mobilephone" }));
    id icon = send<id>(app.iconModel(), "applicationIconForBundleIdentifier:", id("com.apple.camera"_ns));
    ASSERT_TRUE(icon);
    EXPECT_STREQ(object_getClassName(icon), "SBApplicationIcon");
    EXPECT_EQ(UIKitSupport::stringValue(send<id>(icon, "applicationBundleID")), "com.apple.camera");
}

TEST_F(IconStateTest, TheStoreWritesAndReadsBackTheSameStateFoldersAndOtherKeysIncluded)
{
    id store = UIKitSupport::allocInit("SBDefaultIconModelStore");
    auto folder = NSDictionary::dictionary({ { "displayName", "Utilities"_ns }, { "listType", "folder"_ns },
        { "iconLists", NSArray::array({ NSArray::array({ "com.apple.calculator"_ns }) }) } });
    auto state = NSDictionary::dictionary({ { "buttonBar", NSArray::array({ "com.apple.mobilephone"_ns }) },
        { "iconLists", NSArray::array({ NSArray::array({ "com.apple.camera"_ns, folder }) }) }, { "formatVersion", NSNumber::numberWithInteger(1) } });
    id error;
    EXPECT_TRUE(send<bool>(store, "saveCurrentIconState:error:", id(state), &error));
    EXPECT_FALSE(error);
    EXPECT_TRUE(isEqual(send<id>(store, "loadCurrentIconState:", &error), state));

    // Through the model: what it shows is what it writes.
    id model = send<id>(send<id>(id(objc_getClass("SBIconModel")), "alloc"), "initWithStore:", store);
    send(model, "loadAllIcons");
    EXPECT_TRUE(isEqual(send<id>(model, "iconState"), state));
    id folderIcon = model.as<SBIconModel>()->pages()[0].as<SBIconListModel>()->icons()[1];
    EXPECT_TRUE(send<bool>(folderIcon, "isFolderIcon"));
    EXPECT_EQ(UIKitSupport::stringValue(send<id>(folderIcon, "displayName")), "Utilities");
}

TEST_F(IconStateTest, AMissingOrDamagedFileLoadsNothingAndSaysWhy)
{
    id store = UIKitSupport::allocInit("SBDefaultIconModelStore");
    id error;
    EXPECT_FALSE(send<id>(store, "loadCurrentIconState:", &error));
    EXPECT_NE(UIKitSupport::stringValue(error).find("does not exist"), std::string::npos);
    EXPECT_FALSE(send<id>(store, "loadCurrentIconState:", static_cast<id*>(nullptr)));

    std::filesystem::create_directories(m_root.path() + "/var/mobile/Library/SpringBoard");
    FileSystem::writeFile(SBDefaultIconModelStore::defaultPath, { 'x', 'y' });
    error = nil;
    EXPECT_FALSE(send<id>(store, "loadCurrentIconState:", &error));
    EXPECT_NE(UIKitSupport::stringValue(error).find("not a property-list dictionary"), std::string::npos);

    error = nil;
    EXPECT_FALSE(send<bool>(store, "saveCurrentIconState:error:", id(NSArray::array()), &error));
    EXPECT_TRUE(error);

    SpringBoardApp& app = SpringBoardApp::launch();

    DeviceUser user(app);
    EXPECT_TRUE(app.iconPages().empty());
}

IMP originalAddIcon;
id refuseCamera(id self, SEL cmd, id icon, bool dirty)
{
    if (UIKitSupport::stringValue(send<id>(icon, "applicationBundleID")) == "com.apple.camera")
        return nil;
    return callOriginal<id>(originalAddIcon, self, cmd, icon, dirty);
}

TEST_F(IconStateTest, RefusedIconsAreMissingAndSpringBoardSavesTheLayoutItShows)
{
    writeIconState({ { "com.apple.mobilesafari", "com.apple.camera", "com.apple.Maps" } }, {});
    MSHookMessageEx(objc_getClass("SBIconListModel"), sel("addIcon:asDirty:"), reinterpret_cast<IMP>(&refuseCamera), &originalAddIcon);
    SpringBoardApp& app = SpringBoardApp::launch();
    DeviceUser user(app);
    EXPECT_EQ(app.iconPages(), (Pages { { "com.apple.mobilesafari", "com.apple.Maps" } }));
    EXPECT_EQ(pagesOnDisk(), (Pages { { "com.apple.mobilesafari", "com.apple.Maps" } }));
}

TEST_F(IconStateTest, LayoutPutsBackTheIconsNoListHoldsButNotADeletedApp)
{
    writeIconState({ { "com.apple.mobilesafari", "com.apple.camera", "com.apple.Maps" } }, {});
    MSHookMessageEx(objc_getClass("SBIconListModel"), sel("addIcon:asDirty:"), reinterpret_cast<IMP>(&refuseCamera), &originalAddIcon);
    SpringBoardApp& app = SpringBoardApp::launch();
    DeviceUser user(app);
    auto& model = *app.iconModel().as<SBIconModel>();
    EXPECT_TRUE(model.knownApplicationIcon("com.apple.camera")) << "a refused icon stays known";
    send(app.iconModel(), "layout");
    EXPECT_EQ(app.iconPages(), (Pages { { "com.apple.mobilesafari", "com.apple.Maps" } })) << "still refused";

    // The list takes it now (the hook is gone): the next layout puts it at the end of the last page.
    MSHookMessageEx(objc_getClass("SBIconListModel"), sel("addIcon:asDirty:"), originalAddIcon, nullptr);
    EXPECT_TRUE(user.putIcon("com.apple.Maps", 1, 0, DeviceUser::IconPlacement::Place));
    TraceRecorder trace;
    send(app.iconModel(), "layout");
    Pages expected { { "com.apple.mobilesafari" }, { "com.apple.Maps", "com.apple.camera" } };
    EXPECT_EQ(app.iconPages(), expected);
    EXPECT_EQ(pagesOnDisk(), expected) << "the layout is saved when an icon was placed";
    ASSERT_EQ(trace.named("icon-model-layout").size(), 1u);
    EXPECT_EQ(trace.named("icon-model-layout")[0].field("placed"), "1");

    EXPECT_TRUE(user.tapIconCloseBox("com.apple.camera"));
    send(app.iconModel(), "layout");
    EXPECT_EQ(app.iconPages(), (Pages { { "com.apple.mobilesafari" }, { "com.apple.Maps" } })) << "a deleted app does not come back";
}

TEST_F(IconStateTest, AnUnchangedLayoutIsNotWrittenAgain)
{
    writeIconState({ { "com.apple.mobilesafari" } }, {});
    TraceRecorder trace;
    SpringBoardApp::launch();
    EXPECT_TRUE(trace.named("icon-state-save").empty());
}

TEST_F(IconStateTest, IconListsPlaceInsertAndAddEachIconOnce)
{
    id list = UIKitSupport::allocInit("SBIconListModel");
    id a = SBIcon::applicationIcon("a"), b = SBIcon::applicationIcon("b"), c = SBIcon::applicationIcon("c");
    EXPECT_EQ(send<id>(list, "addIcon:asDirty:", a, false), a);
    EXPECT_EQ(send<id>(list, "addIcon:asDirty:", a, false), a);
    EXPECT_EQ(send<id>(list, "insertIcon:atIndex:options:", b, 0ULL, 0ULL), b);
    EXPECT_EQ(send<id>(list, "placeIcon:atIndex:", c, 99ULL), c);
    EXPECT_EQ(list.as<SBIconListModel>()->bundleIdentifiers(), (Strings { "b", "a", "c" }));
    EXPECT_EQ(send<id>(list, "placeIcon:atIndex:", c, 0ULL), c);
    EXPECT_EQ(list.as<SBIconListModel>()->bundleIdentifiers(), (Strings { "c", "b", "a" }));
    EXPECT_EQ(send<unsigned long long>(list, "indexForIcon:", a), 2u);
    EXPECT_FALSE(send<id>(list, "addIcon:asDirty:", nil, true));
    send(list, "removeIcon:", b);
    EXPECT_FALSE(send<bool>(list, "containsIcon:", b));
    EXPECT_EQ(send<unsigned long long>(list, "indexForIcon:", b), NSNotFound);
    EXPECT_EQ(send<unsigned long long>(list, "numberOfIcons"), 2u);
}

TEST_F(IconStateTest, MovingAnIconToAnotherPageTakesItOffTheFirstAndSaves)
{
    writeIconState({ { "com.apple.mobilesafari", "com.apple.camera" } }, {});
    SpringBoardApp& app = SpringBoardApp::launch();
    DeviceUser user(app);
    EXPECT_TRUE(user.putIcon("com.apple.camera", 1, 0, DeviceUser::IconPlacement::Insert));
    EXPECT_TRUE(user.putIcon("com.apple.Maps", 0, 0, DeviceUser::IconPlacement::Place));
    EXPECT_FALSE(user.putIcon("com.apple.news", 5, 0, DeviceUser::IconPlacement::Add));
    Pages expected { { "com.apple.Maps", "com.apple.mobilesafari" }, { "com.apple.camera" } };
    EXPECT_EQ(app.iconPages(), expected);
    EXPECT_EQ(pagesOnDisk(), expected);
}

TEST_F(IconStateTest, TheCloseBoxDeletesTheAppEverywhere)
{
    writeIconState({ { "com.apple.mobilesafari", "com.apple.camera" } }, {});
    SpringBoardApp& app = SpringBoardApp::launch();
    DeviceUser user(app);
    user.launchApplication("com.apple.camera", "Camera");
    user.goHome();
    EXPECT_FALSE(user.tapIconCloseBox("com.example.none"));
    EXPECT_TRUE(user.tapIconCloseBox("com.apple.camera"));
    EXPECT_EQ(app.iconPages(), (Pages { { "com.apple.mobilesafari" } }));
    EXPECT_EQ(pagesOnDisk(), (Pages { { "com.apple.mobilesafari" } }));
    EXPECT_TRUE(app.switcherBundleIdentifiers().empty());
    EXPECT_FALSE(app.isForeground("com.apple.camera"));
    EXPECT_FALSE(send<id>(app.processManager(), "processesForBundleIdentifier:", id("com.apple.camera"_ns)).as<NSArray>()->count());
}

// Lock screen ---------------------------------------------------------------------------------

class LockScreenTest : public SpringBoardTest {
protected:
    void SetUp() override
    {
        registerVersion(14);
        m_root.writeDeviceConfiguration({ { "passcode", "1234"_ns } });
    }
};

TEST_F(LockScreenTest, OnlyTheDevicePasscodeUnlocks)
{
    SpringBoardApp& app = SpringBoardApp::launch();
    DeviceUser user(app);
    auto& manager = *app.lockScreenManager().as<SBLockScreenManager>();
    EXPECT_FALSE(user.attemptUnlock("0000"));
    EXPECT_FALSE(user.attemptUnlock("12345"));
    EXPECT_TRUE(app.isLocked());
    EXPECT_EQ(manager.failedAttempts(), 2);
    EXPECT_FALSE(send<bool>(app.lockScreenWindow(), "isHidden"));

    EXPECT_TRUE(user.attemptUnlock("1234"));
    EXPECT_FALSE(app.isLocked());
    EXPECT_EQ(manager.failedAttempts(), 0);
    EXPECT_TRUE(send<bool>(app.lockScreenWindow(), "isHidden"));
    EXPECT_EQ(app.coverSheetViewController().as<UIViewController>()->appearance(), UIViewController::Appearance::Disappeared);

    user.lock();
    EXPECT_TRUE(app.isLocked());
    EXPECT_FALSE(send<bool>(app.lockScreenWindow(), "isHidden"));
}

TEST_F(LockScreenTest, AnAttemptWithoutFinishingOnlyVerifiesAndTheCompletionHearsTheAnswer)
{
    SpringBoardApp& app = SpringBoardApp::launch();
    DeviceUser user(app);
    std::vector<bool> answers;
    id completion = makeBlock<void(bool)>([&](bool accepted) { answers.push_back(accepted); });
    id manager = app.lockScreenManager();
    EXPECT_TRUE(send<bool>(manager, "_attemptUnlockWithPasscode:mesa:finishUIUnlock:completion:", id("1234"_ns), false, false, completion));
    EXPECT_TRUE(send<bool>(manager, "isUILocked"));
    EXPECT_FALSE(send<bool>(manager, "attemptUnlockWithPasscode:finishUIUnlock:completion:", id("9999"_ns), true, completion));
    EXPECT_FALSE(send<bool>(manager, "attemptUnlockWithPasscode:finishUIUnlock:completion:", nil, true, nil));
    EXPECT_TRUE(send<bool>(manager, "_attemptUnlockWithPasscode:mesa:finishUIUnlock:completion:", id("1234"_ns), false, true, nil));
    EXPECT_FALSE(send<bool>(manager, "isUILocked"));
    EXPECT_EQ(answers, (std::vector<bool> { true, false }));
}

// What a guest passcode replacement does: the device passcode attempt fails, then the
// stored owner passcode is tried through the internal method.
IMP originalAttemptUnlock;
bool unlockWithOwnerPasscode(id self, SEL cmd, id passcode, bool finish, id completion)
{
    callOriginal<bool>(originalAttemptUnlock, self, cmd, passcode, finish, completion);
    if (!isEqual(passcode, "guest"_ns))
        return false;
    if (!send<bool>(self, "_attemptUnlockWithPasscode:mesa:finishUIUnlock:completion:", id("1234"_ns), false, false, nil))
        return false;
    return send<bool>(self, "_attemptUnlockWithPasscode:mesa:finishUIUnlock:completion:", id("1234"_ns), false, true, nil);
}

TEST_F(LockScreenTest, AReplacedAttemptCanUnlockThroughTheInternalMethod)
{
    MSHookMessageEx(objc_getClass("SBLockScreenManager"), sel("attemptUnlockWithPasscode:finishUIUnlock:completion:"),
        reinterpret_cast<IMP>(&unlockWithOwnerPasscode), &originalAttemptUnlock);
    TraceRecorder trace;
    SpringBoardApp& app = SpringBoardApp::launch();
    DeviceUser user(app);
    EXPECT_TRUE(user.attemptUnlock("guest"));
    EXPECT_FALSE(app.isLocked());
    Strings results;
    for (const auto& event : trace.named("unlock-attempt"))
        results.push_back(event.field("source") + " " + event.field("result"));
    // The passcode pad's attempt is the typed one; those sent to the internal method
    // directly are told apart from it.
    EXPECT_EQ(results, (Strings { "typed refused", "owner verified", "owner unlocked" }));
    EXPECT_EQ(trace.named("unlocked").size(), 1u);
    user.lock();
    EXPECT_TRUE(user.attemptUnlock("guest"));
    EXPECT_EQ(trace.named("unlocked").size(), 2u) << "each unlock of a locked device";
}

TEST_F(LockScreenTest, ADeviceWithoutPasscodeUnlocksWithAnything)
{
    m_root.writeDeviceConfiguration({});
    SpringBoardApp& app = SpringBoardApp::launch();
    DeviceUser user(app);
    EXPECT_TRUE(user.attemptUnlock(""));
    EXPECT_FALSE(app.isLocked());
}

TEST_F(LockScreenTest, CameraAndTodayViewOnTheLockScreenFollowThePolicyWhileLocked)
{
    SpringBoardApp& app = SpringBoardApp::launch();
    DeviceUser user(app);
    EXPECT_TRUE(user.openLockScreenCamera());
    EXPECT_TRUE(user.showLockScreenTodayView());
    MSHookMessageEx(objc_getClass("SBMainDisplayPolicyAggregator"), sel("_allowsCapabilityLockScreenCameraWithExplanation:"),
        reinterpret_cast<IMP>(+[](id, SEL, id*) -> bool { return false; }), nullptr);
    EXPECT_FALSE(user.openLockScreenCamera());
    user.attemptUnlock("1234");
    EXPECT_FALSE(user.showLockScreenTodayView());
}

// Notifications, apps, switcher -------------------------------------------------------------

IMP originalPublish;
void dropMessages(id self, SEL cmd, id bulletin, unsigned long long destinations)
{
    if (isEqual(send<id>(bulletin, "sectionID"), "com.apple.MobileSMS"_ns))
        return;
    callOriginal(originalPublish, self, cmd, bulletin, destinations);
}

TEST_F(SpringBoardTest, BulletinsArePublishedUnlessAReplacementDropsThem)
{
    registerVersion(12);
    TraceRecorder trace;
    SpringBoardApp& app = SpringBoardApp::launch();
    DeviceUser user(app);
    user.receiveNotification("com.apple.MobileSMS", "Anna", "Hello");
    MSHookMessageEx(objc_getClass("BBServer"), sel("publishBulletin:destinations:"), reinterpret_cast<IMP>(&dropMessages), &originalPublish);
    user.receiveNotification("com.apple.MobileSMS", "Anna", "Again");
    user.receiveNotification("com.apple.mobilemail", "Ben", "Report");
    auto bulletins = app.publishedBulletins();
    ASSERT_EQ(bulletins.size(), 2u);
    EXPECT_EQ(bulletins[0].as<BBBulletin>()->message(), "Hello");
    EXPECT_EQ(bulletins[1].as<BBBulletin>()->sectionID(), "com.apple.mobilemail");
    ASSERT_EQ(trace.named("bulletin-published").size(), 2u);
    EXPECT_EQ(trace.named("bulletin-published")[0].field("destinations"), std::to_string(SpringBoardApp::allDestinations));
}

int foregroundQuestions;
IMP originalIsForeground;
bool countForegroundQuestions(id self, SEL cmd)
{
    ++foregroundQuestions;
    return callOriginal<bool>(originalIsForeground, self, cmd);
}

TEST_F(SpringBoardTest, LaunchingAnAppBringsItForwardAndSpringBoardAsksAboutIt)
{
    registerVersion(13);
    foregroundQuestions = 0;
    MSHookMessageEx(objc_getClass("FBProcess"), sel("isForeground"), reinterpret_cast<IMP>(&countForegroundQuestions), &originalIsForeground);
    SpringBoardApp& app = SpringBoardApp::launch();
    DeviceUser user(app);
    id safari = user.launchApplication("com.apple.mobilesafari", "MobileSafari");
    EXPECT_EQ(foregroundQuestions, 1);
    EXPECT_TRUE(isEqual(send<id>(safari, "name"), "MobileSafari"_ns));
    EXPECT_EQ(app.homeScreenViewController().as<UIViewController>()->appearance(), UIViewController::Appearance::Disappeared);

    user.launchApplication("com.apple.Maps", "Maps");
    EXPECT_FALSE(app.isForeground("com.apple.mobilesafari"));
    EXPECT_TRUE(app.isForeground("com.apple.Maps"));
    EXPECT_EQ(app.switcherBundleIdentifiers(), (Strings { "com.apple.Maps", "com.apple.mobilesafari" }));

    user.launchApplication("com.apple.mobilesafari", "MobileSafari");
    EXPECT_EQ(app.switcherBundleIdentifiers(), (Strings { "com.apple.mobilesafari", "com.apple.Maps" }));
    EXPECT_EQ(send<int>(safari, "pid"), send<int>(user.launchApplication("com.apple.mobilesafari", "MobileSafari"), "pid"));

    user.goHome();
    EXPECT_FALSE(app.isForeground("com.apple.mobilesafari"));
    EXPECT_EQ(app.homeScreenViewController().as<UIViewController>()->appearance(), UIViewController::Appearance::Appeared);
    EXPECT_TRUE(app.terminateApplication("com.apple.Maps"));
    EXPECT_FALSE(app.terminateApplication("com.apple.Maps"));
    EXPECT_FALSE(app.isForeground("com.apple.Maps"));
}

class SwitcherTest : public SpringBoardTest {
protected:
    SpringBoardApp& launchWithThreeApps(int version)
    {
        registerVersion(version);
        SpringBoardApp& app = SpringBoardApp::launch();
        DeviceUser user(app);
        for (const char* bundleID : { "com.apple.Maps", "com.apple.camera", "com.apple.mobilesafari" })
            user.launchApplication(bundleID, bundleID);
        user.goHome();
        return app;
    }
    static bool running(SpringBoardApp& app, const char* bundleID)
    {
        return send<id>(app.processManager(), "processesForBundleIdentifier:", id(NSString::string(bundleID))).as<NSArray>()->count() > 0;
    }
};

TEST_F(SwitcherTest, IOS14DeletesTheCardsOfOneApp)
{
    SpringBoardApp& app = launchWithThreeApps(14);
    id switcher = send<id>(id(objc_getClass("SBMainSwitcherViewController")), "sharedInstance");
    id first = send<id>(switcher, "recentAppLayouts").as<NSArray>()->objectAtIndex(0);
    id item = send<id>(first, "allItems").as<NSArray>()->objectAtIndex(0);
    EXPECT_TRUE(isEqual(send<id>(item, "bundleIdentifier"), "com.apple.mobilesafari"_ns));

    send(switcher, "_deleteAppLayoutsMatchingBundleIdentifier:", id("com.apple.camera"_ns));
    EXPECT_EQ(app.switcherBundleIdentifiers(), (Strings { "com.apple.mobilesafari", "com.apple.Maps" }));
    EXPECT_FALSE(running(app, "com.apple.camera"));
    EXPECT_TRUE(running(app, "com.apple.Maps"));
}

TEST_F(SwitcherTest, IOS13DeletesEachRecentCard)
{
    SpringBoardApp& app = launchWithThreeApps(13);
    TraceRecorder trace;
    id switcher = app.switcherController();
    auto layouts = send<id>(switcher, "recentAppLayouts").as<NSArray>();
    for (const auto& layout : *layouts)
        send(switcher, "_deleteAppLayout:forReason:", layout, 1LL);
    EXPECT_TRUE(app.switcherBundleIdentifiers().empty());
    EXPECT_FALSE(running(app, "com.apple.Maps"));
    ASSERT_EQ(trace.named("switcher-layout-removed").size(), 3u);
    EXPECT_EQ(trace.named("switcher-layout-removed")[0].field("reason"), "1");
    EXPECT_THROW(send<id>(switcher, "appLayouts"), RuntimeError);
}

TEST_F(SwitcherTest, IOS12QuitsTheAppsOfEachCard)
{
    SpringBoardApp& app = launchWithThreeApps(12);
    id switcher = app.switcherController();
    auto layouts = send<id>(switcher, "appLayouts").as<NSArray>();
    ASSERT_EQ(layouts->count(), 3u);
    for (const auto& layout : *layouts)
        send(switcher, "_quitAppsRepresentedByAppLayout:forReason:", layout, 1LL);
    EXPECT_TRUE(app.switcherBundleIdentifiers().empty());
    EXPECT_FALSE(running(app, "com.apple.mobilesafari"));
    EXPECT_THROW(send<id>(switcher, "recentAppLayouts"), RuntimeError);
}

// Home-screen features --------------------------------------------------------------------------

TEST_F(SpringBoardTest, FeaturesOpenByDefaultAndStayClosedWhenTheirMethodsSayNo)
{
    registerVersion(14);
    SpringBoardApp& app = SpringBoardApp::launch();
    DeviceUser user(app);
    EXPECT_TRUE(user.showTodayView());
    EXPECT_TRUE(user.pullDownSearch());
    EXPECT_TRUE(user.openControlCenter());
    EXPECT_TRUE(user.beginAppLibrarySearch());

    registerVersion(14);
    MSHookMessageEx(objc_getClass("SBRootFolderView"), sel("_minusPageCount"), reinterpret_cast<IMP>(+[](id, SEL) -> long long { return 0; }), nullptr);
    MSHookMessageEx(objc_getClass("SBSearchScrollView"), sel("gestureRecognizerShouldBegin:"), reinterpret_cast<IMP>(+[](id, SEL, id) -> bool { return false; }), nullptr);
    MSHookMessageEx(objc_getClass("SBControlCenterController"), sel("_shouldAllowControlCenterGesture"), reinterpret_cast<IMP>(+[](id, SEL) -> bool { return false; }), nullptr);
    MSHookMessageEx(objc_getClass("SBHLibrarySearchController"), sel("searchBarShouldBeginEditing:"), reinterpret_cast<IMP>(+[](id, SEL, id) -> bool { return false; }), nullptr);
    SpringBoardApp& blocked = SpringBoardApp::launch();
    DeviceUser blockedUser(blocked);
    EXPECT_FALSE(blockedUser.showTodayView());
    EXPECT_EQ(send<long long>(blocked.rootFolderView(), "pageState"), SBRootFolderPageStateRegular);
    EXPECT_FALSE(blockedUser.pullDownSearch());
    EXPECT_FALSE(blockedUser.openControlCenter());
    EXPECT_FALSE(blockedUser.beginAppLibrarySearch());
}

TEST_F(SpringBoardTest, TheAppLibraryExistsOnlyFromIOS14)
{
    registerVersion(13);
    SpringBoardApp& app = SpringBoardApp::launch();
    DeviceUser user(app);
    EXPECT_FALSE(app.libraryViewController());
    EXPECT_FALSE(user.beginAppLibrarySearch());
}

} // namespace
