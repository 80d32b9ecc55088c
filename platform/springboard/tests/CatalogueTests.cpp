#include "SpringBoardTestSupport.h"

#include <string>
#include <vector>

namespace {

bool registered(const char* name) { return objc_getClass(name) != nullptr; }

bool has(const char* className, const char* selector)
{
    return class_respondsToSelector(objc_getClass(className), sel(selector));
}

class CatalogueTest : public SpringBoardTest { };

TEST_F(CatalogueTest, IOS12HasTheDashBoardLockScreenAndNoAppLibrary)
{
    registerVersion(12);
    EXPECT_TRUE(registered("SBDashBoardNotificationAdjunctListViewController"));
    EXPECT_TRUE(registered("SBPagedScrollView"));
    EXPECT_TRUE(registered("SBDashBoardViewController"));
    EXPECT_FALSE(registered("CSNotificationAdjunctListViewController"));
    EXPECT_FALSE(registered("CSScrollView"));
    EXPECT_FALSE(registered("CSCoverSheetViewController"));
    EXPECT_FALSE(registered("SBHLibrarySearchController"));
    EXPECT_FALSE(registered("_SBHIconLibraryTableView"));
    EXPECT_TRUE(registered("SBIconController"));
    EXPECT_TRUE(registered("UIStatusBarWindow"));
}

TEST_F(CatalogueTest, IOS13HasTheCoverSheetLockScreenAndNoAppLibrary)
{
    registerVersion(13);
    EXPECT_TRUE(registered("CSNotificationAdjunctListViewController"));
    EXPECT_TRUE(registered("CSScrollView"));
    EXPECT_FALSE(registered("SBDashBoardNotificationAdjunctListViewController"));
    EXPECT_FALSE(registered("SBPagedScrollView"));
    EXPECT_FALSE(registered("SBHLibrarySearchController"));
    EXPECT_FALSE(registered("_SBHIconLibraryTableView"));
}

TEST_F(CatalogueTest, IOS14AddsTheAppLibrary)
{
    registerVersion(14);
    EXPECT_TRUE(registered("CSNotificationAdjunctListViewController"));
    EXPECT_TRUE(registered("SBHLibrarySearchController"));
    EXPECT_TRUE(registered("_SBHIconLibraryTableView"));
    EXPECT_FALSE(registered("SBPagedScrollView"));
}

TEST_F(CatalogueTest, EveryClassOfTheHookTableExistsOnEveryVersionThatShouldHaveIt)
{
    const std::vector<const char*> everywhere { "SBDefaultIconModelStore", "SBIconController", "SBHomeScreenViewController", "SBLockScreenManager",
        "FBProcess", "SBControlCenterController", "BBServer", "SBSearchScrollView", "SBSearchBar", "SBTodayViewController", "SBRootFolderView",
        "WGWidgetWrapperView", "WGWidgetListFooterView", "SBMainDisplayPolicyAggregator", "SBIconListModel", "UIStatusBarWindow", "SpringBoard",
        "SBMainSwitcherViewController" };
    for (int version : { 12, 13, 14 }) {
        registerVersion(version);
        for (const char* name : everywhere)
            EXPECT_TRUE(registered(name)) << name << " on iOS " << version;
        EXPECT_EQ(registeredSpringBoardVersion(), version);
    }
}

TEST_F(CatalogueTest, TheSwitcherSpeaksEachVersionsMessages)
{
    registerVersion(12);
    EXPECT_TRUE(has("SBMainSwitcherViewController", "appLayouts"));
    EXPECT_FALSE(has("SBMainSwitcherViewController", "recentAppLayouts"));
    EXPECT_FALSE(has("SBMainSwitcherViewController", "_deleteAppLayout:forReason:"));
    EXPECT_TRUE(has("SBMainSwitcherViewController", "_quitAppsRepresentedByAppLayout:forReason:"));

    registerVersion(13);
    EXPECT_FALSE(has("SBMainSwitcherViewController", "appLayouts"));
    EXPECT_TRUE(has("SBMainSwitcherViewController", "recentAppLayouts"));
    EXPECT_TRUE(has("SBMainSwitcherViewController", "_deleteAppLayout:forReason:"));
    EXPECT_FALSE(has("SBMainSwitcherViewController", "_deleteAppLayoutsMatchingBundleIdentifier:"));

    registerVersion(14);
    EXPECT_TRUE(has("SBMainSwitcherViewController", "_deleteAppLayoutsMatchingBundleIdentifier:"));
}

TEST_F(CatalogueTest, TheMethodsTheProductReplacesHaveTheDevicesSignatures)
{
    registerVersion(14);
    const std::vector<std::pair<std::pair<const char*, const char*>, const char*>> expected {
        { { "CSNotificationAdjunctListViewController", "viewDidLoad" }, "v@:" },
        { { "CSScrollView", "initWithFrame:" }, "@@:{CGRect={CGPoint=dd}{CGSize=dd}}" },
        { { "SBDefaultIconModelStore", "loadCurrentIconState:" }, "@@:^@" },
        { { "SBDefaultIconModelStore", "saveCurrentIconState:error:" }, "B@:@^@" },
        { { "SBIconController", "viewWillAppear:" }, "v@:B" },
        { { "SBHomeScreenViewController", "viewDidAppear:" }, "v@:B" },
        { { "SBLockScreenManager", "attemptUnlockWithPasscode:finishUIUnlock:completion:" }, "B@:@B@" },
        { { "SBLockScreenManager", "_attemptUnlockWithPasscode:mesa:finishUIUnlock:completion:" }, "B@:@BB@" },
        { { "FBProcess", "isForeground" }, "B@:" },
        { { "SBControlCenterController", "_shouldAllowControlCenterGesture" }, "B@:" },
        { { "BBServer", "publishBulletin:destinations:" }, "v@:@Q" },
        { { "SBSearchScrollView", "gestureRecognizerShouldBegin:" }, "B@:@" },
        { { "SBRootFolderView", "_minusPageCount" }, "q@:" },
        { { "SBRootFolderView", "beginPageStateTransitionToState:animated:interactive:" }, "B@:qBB" },
        { { "SBMainDisplayPolicyAggregator", "_allowsCapabilityLockScreenCameraWithExplanation:" }, "B@:^@" },
        { { "SBIconController", "iconCloseBoxTapped:" }, "v@:@" },
        { { "SBIconListModel", "placeIcon:atIndex:" }, "@@:@Q" },
        { { "SBIconListModel", "insertIcon:atIndex:options:" }, "@@:@QQ" },
        { { "SBIconListModel", "addIcon:asDirty:" }, "@@:@B" },
        { { "UIStatusBarWindow", "setStatusBar:" }, "v@:@" },
        { { "SpringBoard", "applicationDidFinishLaunching:" }, "v@:@" },
        { { "SBHLibrarySearchController", "searchBarShouldBeginEditing:" }, "B@:@" },
    };
    for (const auto& [method, types] : expected) {
        Method found = class_getInstanceMethod(objc_getClass(method.first), sel(method.second));
        ASSERT_TRUE(found) << method.first << " " << method.second;
        EXPECT_STREQ(method_getTypeEncoding(found), types) << method.first << " " << method.second;
    }
}

TEST_F(CatalogueTest, RegisteringAnotherVersionNeedsAResetAndOnlyTwelveToFourteenExist)
{
    registerVersion(13);
    EXPECT_NO_THROW(registerSpringBoardClasses(13));
    EXPECT_THROW(registerSpringBoardClasses(14), RuntimeError);
    objc_resetRuntimeForTesting();
    EXPECT_THROW(registerSpringBoardClasses(11), RuntimeError);
    EXPECT_THROW(registerSpringBoardClasses(15), RuntimeError);
}

} // namespace
