#include "HookTable.h"

#include "AppHiding.h"
#include "FeatureBlocks.h"
#include "FirstLaunchNotice.h"
#include "GuestModeSwitching.h"
#include "HomeScreenLayout.h"
#include "LockScreenIntegration.h"
#include "PasscodeUnlock.h"
#include "TimeLimit.h"

namespace {

constexpr const char* adjunctListCS = "CSNotificationAdjunctListViewController";
constexpr const char* adjunctListDashBoard = "SBDashBoardNotificationAdjunctListViewController";
constexpr const char* scrollViewCS = "CSScrollView";
constexpr const char* scrollViewPaged = "SBPagedScrollView";

std::vector<HookRow> makeHookTable()
{
    using enum HookGroup;
    using enum HookKind;
    return {
        { 1, Panel, Replaced, "viewDidLoad",
            hookTarget(adjunctListCS, adjunctListViewDidLoadCS, &originalAdjunctListViewDidLoadCS),
            hookTarget(adjunctListDashBoard, adjunctListViewDidLoadDashBoard, &originalAdjunctListViewDidLoadDashBoard) },
        { 2, Panel, Added, "userAccountView",
            hookTarget(adjunctListCS, userAccountViewCS), hookTarget(adjunctListDashBoard, userAccountViewDashBoard),
            AddedEncoding::Getter },
        { 3, Panel, Added, "setUserAccountView:",
            hookTarget(adjunctListCS, setUserAccountViewCS), hookTarget(adjunctListDashBoard, setUserAccountViewDashBoard),
            AddedEncoding::Setter },
        { 4, Panel, Replaced, "initWithFrame:",
            hookTarget(scrollViewCS, scrollViewInitWithFrameCS, &originalScrollViewInitWithFrameCS),
            hookTarget(scrollViewPaged, scrollViewInitWithFramePaged, &originalScrollViewInitWithFramePaged) },
        { 5, Panel, Added, "showAction",
            hookTarget(scrollViewCS, scrollViewShowActionCS), hookTarget(scrollViewPaged, scrollViewShowActionPaged),
            AddedEncoding::Action },
        { 6, Base, Replaced, "loadCurrentIconState:",
            hookTarget("SBDefaultIconModelStore", iconStoreLoadCurrentIconState, &originalLoadCurrentIconState) },
        { 7, Base, Replaced, "saveCurrentIconState:error:",
            hookTarget("SBDefaultIconModelStore", iconStoreSaveCurrentIconState, &originalSaveCurrentIconState) },
        { 8, Base, Replaced, "viewWillAppear:",
            hookTarget("SBIconController", iconControllerViewWillAppear, &originalIconControllerViewWillAppear) },
        { 9, Switching, Replaced, "viewDidAppear:",
            hookTarget("SBHomeScreenViewController", homeScreenViewDidAppear, &originalHomeScreenViewDidAppear) },
        { 10, Switching, Replaced, "attemptUnlockWithPasscode:finishUIUnlock:completion:",
            hookTarget("SBLockScreenManager", lockScreenManagerAttemptUnlock, &originalAttemptUnlock) },
        { 11, Guest, Replaced, "isForeground",
            hookTarget("FBProcess", processIsForeground, &originalIsForeground) },
        { 12, Guest, Replaced, "_shouldAllowControlCenterGesture",
            hookTarget("SBControlCenterController", controlCenterShouldAllowGesture, &originalShouldAllowControlCenterGesture) },
        { 13, Guest, Replaced, "publishBulletin:destinations:",
            hookTarget("BBServer", bulletinServerPublishBulletin, &originalPublishBulletin) },
        { 14, Guest, Replaced, "gestureRecognizerShouldBegin:",
            hookTarget("SBSearchScrollView", searchScrollViewGestureShouldBegin, &originalSearchGestureShouldBegin) },
        { 15, Guest, Replaced, "layoutSubviews",
            hookTarget("SBSearchBar", searchBarLayoutSubviews, &originalSearchBarLayoutSubviews) },
        { 16, Guest, Replaced, "viewDidLoad",
            hookTarget("SBTodayViewController", todayViewControllerViewDidLoad, &originalTodayViewDidLoad) },
        { 17, Guest, Replaced, "searchBarShouldBeginEditing:",
            hookTarget("SBHLibrarySearchController", librarySearchShouldBeginEditing, &originalLibrarySearchShouldBeginEditing) },
        { 18, Guest, Replaced, "layoutSubviews",
            hookTarget("_SBHIconLibraryTableView", iconLibraryTableLayoutSubviews, &originalIconLibraryTableLayoutSubviews) },
        { 19, Guest, Replaced, "_minusPageCount",
            hookTarget("SBRootFolderView", rootFolderMinusPageCount, &originalMinusPageCount) },
        { 20, Guest, Replaced, "_layoutSubviewsForTodayView",
            hookTarget("SBRootFolderView", rootFolderLayoutTodayView, &originalLayoutSubviewsForTodayView) },
        { 21, Guest, Replaced, "beginPageStateTransitionToState:animated:interactive:",
            hookTarget("SBRootFolderView", rootFolderBeginPageStateTransition, &originalBeginPageStateTransition) },
        { 22, Guest, Replaced, "layoutSubviews",
            hookTarget("WGWidgetWrapperView", widgetWrapperLayoutSubviews, &originalWidgetWrapperLayoutSubviews) },
        { 23, Guest, Replaced, "didMoveToWindow",
            hookTarget("WGWidgetListFooterView", widgetFooterDidMoveToWindow, &originalWidgetFooterDidMoveToWindow) },
        { 24, Guest, Replaced, "_allowsCapabilityLockScreenTodayViewWithExplanation:",
            hookTarget("SBMainDisplayPolicyAggregator", allowsLockScreenTodayView, &originalAllowsLockScreenTodayView) },
        { 25, Guest, Replaced, "_allowsCapabilityTodayViewWithExplanation:",
            hookTarget("SBMainDisplayPolicyAggregator", allowsTodayView, &originalAllowsTodayView) },
        { 26, Guest, Replaced, "_allowsCapabilityLockScreenCameraWithExplanation:",
            hookTarget("SBMainDisplayPolicyAggregator", allowsLockScreenCamera, &originalAllowsLockScreenCamera) },
        { 27, Guest, Replaced, "_allowsCapabilityLockScreenCameraSupportedWithExplanation:",
            hookTarget("SBMainDisplayPolicyAggregator", allowsLockScreenCameraSupported, &originalAllowsLockScreenCameraSupported) },
        { 28, Guest, Replaced, "iconCloseBoxTapped:",
            hookTarget("SBIconController", iconControllerCloseBoxTapped, &originalIconCloseBoxTapped) },
        { 29, Guest, Replaced, "placeIcon:atIndex:",
            hookTarget("SBIconListModel", iconListPlaceIcon, &originalPlaceIcon) },
        { 30, Guest, Replaced, "insertIcon:atIndex:options:",
            hookTarget("SBIconListModel", iconListInsertIcon, &originalInsertIcon) },
        { 31, Guest, Replaced, "addIcon:asDirty:",
            hookTarget("SBIconListModel", iconListAddIcon, &originalAddIcon) },
        { 32, Guest, Replaced, "setStatusBar:",
            hookTarget("UIStatusBarWindow", statusBarWindowSetStatusBar, &originalSetStatusBar) },
        { 33, Guest, Added, "start", hookTarget("UIStatusBarWindow", statusBarWindowStart), std::nullopt, AddedEncoding::Action },
        { 34, Guest, Added, "timerFired", hookTarget("UIStatusBarWindow", statusBarWindowTimerFired), std::nullopt, AddedEncoding::Action },
        { 35, Base, Replaced, "applicationDidFinishLaunching:",
            hookTarget("SpringBoard", springBoardDidFinishLaunching, &originalApplicationDidFinishLaunching) },
    };
}

} // namespace

const std::vector<HookRow>& hookTable()
{
    static const std::vector<HookRow> table = makeHookTable();
    return table;
}

const char* hookGroupName(HookGroup group)
{
    switch (group) {
    case HookGroup::Panel:
        return "panel";
    case HookGroup::Base:
        return "base";
    case HookGroup::Switching:
        return "switching";
    case HookGroup::Guest:
        return "guest";
    }
    return "?";
}
