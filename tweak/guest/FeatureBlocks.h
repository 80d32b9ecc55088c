#pragma once
// The features a guest may not use, as one table: each row names the SpringBoard method
// that opens the feature, the guest toggle that closes it (or none: closed for every
// guest), how the replacement goes about it and what it does instead. The replacements in
// FeatureBlocks.cpp are shells around these rows; the decisions below need no SpringBoard.

#include "KavlorSchema.h"
#include "NSObjectValues.h"

#include <array>
#include <cstddef>

enum class BlockPattern {
    Guard,     // blocked: the fixed answer, SpringBoard's method does not run; else SpringBoard's answer
    HideAfter, // SpringBoard's method always runs first; blocked: then the extra step
    Fixed,     // SpringBoard's method never runs; the fixed answer or step, whatever the toggles
};

enum class BlockedAnswer {
    Refuse,          // NO for a question, 0 for a count, nothing for an action
    DropBulletin,    // the bulletin is not published (also needs its app on the disabled list)
    HideSelf,        // setHidden: YES to the receiver
    HideTodayView,   // setHidden: YES to the view of the receiver's todayViewController
    ShowTodayNotice, // every subview hidden, the red notice added last
};

struct FeatureBlock {
    int place; // the row's place in the hook table
    const char* className;
    const char* selector;
    const char* toggle; // a toggleData index, or nullptr for the rows that block every guest
    BlockPattern pattern;
    BlockedAnswer blocked;
};

// The rows, in hook-table order; FeatureBlockRow names each one.
enum FeatureBlockRow : size_t {
    ControlCenterGesture,
    PublishBulletin,
    SearchGesture,
    SearchBarLayout,
    TodayViewDidLoad,
    LibrarySearch,
    IconLibraryTableLayout,
    MinusPageCount,
    LayoutTodayView,
    BeginPageStateTransition,
    WidgetWrapperLayout,
    WidgetFooterMovedToWindow,
    LockScreenTodayView,
    TodayView,
    LockScreenCamera,
    LockScreenCameraSupported,
    IconCloseBoxTapped,
    FeatureBlockRowCount
};

namespace feature_blocks_detail {
using namespace KavlorSchema::Toggle;
using enum BlockPattern;
using enum BlockedAnswer;
inline constexpr std::array<FeatureBlock, FeatureBlockRowCount> rows { {
    { 12, "SBControlCenterController", "_shouldAllowControlCenterGesture", blockControlCenter, Guard, Refuse },
    { 13, "BBServer", "publishBulletin:destinations:", blockNotifications, Guard, DropBulletin },
    { 14, "SBSearchScrollView", "gestureRecognizerShouldBegin:", blockSearch, Guard, Refuse },
    { 15, "SBSearchBar", "layoutSubviews", blockSearch, HideAfter, HideSelf },
    { 16, "SBTodayViewController", "viewDidLoad", blockTodayView, HideAfter, ShowTodayNotice },
    { 17, "SBHLibrarySearchController", "searchBarShouldBeginEditing:", nullptr, Fixed, Refuse },
    { 18, "_SBHIconLibraryTableView", "layoutSubviews", nullptr, Fixed, HideSelf },
    { 19, "SBRootFolderView", "_minusPageCount", blockTodayView, Guard, Refuse },
    { 20, "SBRootFolderView", "_layoutSubviewsForTodayView", blockTodayView, HideAfter, HideTodayView },
    { 21, "SBRootFolderView", "beginPageStateTransitionToState:animated:interactive:", blockTodayView, Guard, Refuse },
    { 22, "WGWidgetWrapperView", "layoutSubviews", blockTodayView, HideAfter, HideSelf },
    { 23, "WGWidgetListFooterView", "didMoveToWindow", blockTodayView, HideAfter, HideSelf },
    { 24, "SBMainDisplayPolicyAggregator", "_allowsCapabilityLockScreenTodayViewWithExplanation:", blockTodayView, Guard, Refuse },
    { 25, "SBMainDisplayPolicyAggregator", "_allowsCapabilityTodayViewWithExplanation:", blockTodayView, Guard, Refuse },
    { 26, "SBMainDisplayPolicyAggregator", "_allowsCapabilityLockScreenCameraWithExplanation:", nullptr, Fixed, Refuse },
    { 27, "SBMainDisplayPolicyAggregator", "_allowsCapabilityLockScreenCameraSupportedWithExplanation:", nullptr, Fixed, Refuse },
    { 28, "SBIconController", "iconCloseBoxTapped:", blockAppDeletion, Guard, Refuse },
} };
} // namespace feature_blocks_detail

inline constexpr const std::array<FeatureBlock, FeatureBlockRowCount>& kFeatureBlocks = feature_blocks_detail::rows;

// Whether the row's feature is closed for the account whose record this is (nil: no
// record). Fixed rows are closed for every guest; the others when their toggle is on.
bool featureBlocked(const FeatureBlock& row, const Id<NSDictionary>& record);

// A bulletin is dropped when the guest blocks notifications and its app is disabled.
bool bulletinDropped(const Id<NSDictionary>& record, const Id<NSArray>& disabled, const id& sectionID);

// The notice that takes the Today view's place, laid out in a view of that size.
struct TodayNotice {
    static constexpr const char* text = "Sorry you don't have the \nprivilege to use Today's View!";
    static constexpr long long numberOfLines = 2;
    static constexpr double height = 150;
    static constexpr double sideInset = 20; // the label is this much narrower than the view
};
