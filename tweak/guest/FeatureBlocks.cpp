// The features a guest's toggles block: Control Centre, notifications of disabled apps, search,
// the Today view, app deletion; and the icon-library search and lock-screen camera, blocked for
// every guest.

#include "Hook.h"

namespace {

KAVLOR_HOOK(controlCenterGesture) = replace({ 12, HookGroup::Guest, "SBControlCenterController", "_shouldAllowControlCenterGesture" },
    [](const Previous<bool()>& previous, id self, SEL _cmd) -> bool {
        return previous(self, _cmd);
    });

KAVLOR_HOOK(publishBulletin) = replace({ 13, HookGroup::Guest, "BBServer", "publishBulletin:destinations:" },
    [](const Previous<void(id, unsigned long long)>& previous, id self, SEL _cmd, id bulletin, unsigned long long destinations) {
        previous(self, _cmd, bulletin, destinations);
    });

KAVLOR_HOOK(searchGesture) = replace({ 14, HookGroup::Guest, "SBSearchScrollView", "gestureRecognizerShouldBegin:" },
    [](const Previous<bool(id)>& previous, id self, SEL _cmd, id gestureRecognizer) -> bool {
        return previous(self, _cmd, gestureRecognizer);
    });

KAVLOR_HOOK(searchBarLayout) = replace({ 15, HookGroup::Guest, "SBSearchBar", "layoutSubviews" },
    [](const Previous<void()>& previous, id self, SEL _cmd) {
        previous(self, _cmd);
    });

KAVLOR_HOOK(todayViewDidLoad) = replace({ 16, HookGroup::Guest, "SBTodayViewController", "viewDidLoad" },
    [](const Previous<void()>& previous, id self, SEL _cmd) {
        previous(self, _cmd);
    });

KAVLOR_HOOK(librarySearch) = replace({ 17, HookGroup::Guest, "SBHLibrarySearchController", "searchBarShouldBeginEditing:" },
    [](const Previous<bool(id)>& previous, id self, SEL _cmd, id searchBar) -> bool {
        return previous(self, _cmd, searchBar);
    });

KAVLOR_HOOK(iconLibraryTableLayout) = replace({ 18, HookGroup::Guest, "_SBHIconLibraryTableView", "layoutSubviews" },
    [](const Previous<void()>& previous, id self, SEL _cmd) {
        previous(self, _cmd);
    });

KAVLOR_HOOK(minusPageCount) = replace({ 19, HookGroup::Guest, "SBRootFolderView", "_minusPageCount" },
    [](const Previous<long long()>& previous, id self, SEL _cmd) -> long long {
        return previous(self, _cmd);
    });

KAVLOR_HOOK(layoutTodayView) = replace({ 20, HookGroup::Guest, "SBRootFolderView", "_layoutSubviewsForTodayView" },
    [](const Previous<void()>& previous, id self, SEL _cmd) {
        previous(self, _cmd);
    });

KAVLOR_HOOK(beginPageStateTransition) = replace({ 21, HookGroup::Guest, "SBRootFolderView", "beginPageStateTransitionToState:animated:interactive:" },
    [](const Previous<void(long long, bool, bool)>& previous, id self, SEL _cmd, long long state, bool animated, bool interactive) {
        previous(self, _cmd, state, animated, interactive);
    });

KAVLOR_HOOK(widgetWrapperLayout) = replace({ 22, HookGroup::Guest, "WGWidgetWrapperView", "layoutSubviews" },
    [](const Previous<void()>& previous, id self, SEL _cmd) {
        previous(self, _cmd);
    });

KAVLOR_HOOK(widgetFooterMovedToWindow) = replace({ 23, HookGroup::Guest, "WGWidgetListFooterView", "didMoveToWindow" },
    [](const Previous<void()>& previous, id self, SEL _cmd) {
        previous(self, _cmd);
    });

KAVLOR_HOOK(lockScreenTodayView) = replace({ 24, HookGroup::Guest, "SBMainDisplayPolicyAggregator", "_allowsCapabilityLockScreenTodayViewWithExplanation:" },
    [](const Previous<bool(id*)>& previous, id self, SEL _cmd, id* explanation) -> bool {
        return previous(self, _cmd, explanation);
    });

KAVLOR_HOOK(todayView) = replace({ 25, HookGroup::Guest, "SBMainDisplayPolicyAggregator", "_allowsCapabilityTodayViewWithExplanation:" },
    [](const Previous<bool(id*)>& previous, id self, SEL _cmd, id* explanation) -> bool {
        return previous(self, _cmd, explanation);
    });

KAVLOR_HOOK(lockScreenCamera) = replace({ 26, HookGroup::Guest, "SBMainDisplayPolicyAggregator", "_allowsCapabilityLockScreenCameraWithExplanation:" },
    [](const Previous<bool(id*)>& previous, id self, SEL _cmd, id* explanation) -> bool {
        return previous(self, _cmd, explanation);
    });

KAVLOR_HOOK(lockScreenCameraSupported) = replace({ 27, HookGroup::Guest, "SBMainDisplayPolicyAggregator", "_allowsCapabilityLockScreenCameraSupportedWithExplanation:" },
    [](const Previous<bool(id*)>& previous, id self, SEL _cmd, id* explanation) -> bool {
        return previous(self, _cmd, explanation);
    });

KAVLOR_HOOK(iconCloseBoxTapped) = replace({ 28, HookGroup::Guest, "SBIconController", "iconCloseBoxTapped:" },
    [](const Previous<void(id)>& previous, id self, SEL _cmd, id icon) {
        previous(self, _cmd, icon);
    });

} // namespace
