// The features a guest's toggles block: Control Centre, notifications of disabled apps, search,
// the Today view, app deletion; and the icon-library search and lock-screen camera, blocked for
// every guest. Which method, which toggle and what instead is the table in FeatureBlocks.h;
// the replacements here are the same shell around each row.

#include "FeatureBlocks.h"

#include "Hook.h"
#include "ProfileStore.h"
#include "UILabel.h"

#include <type_traits>

bool featureBlocked(const FeatureBlock& row, const Id<NSDictionary>& record)
{
    return row.pattern == BlockPattern::Fixed || recordToggle(record, row.toggle);
}

bool bulletinDropped(const Id<NSDictionary>& record, const Id<NSArray>& disabled, const id& sectionID)
{
    return featureBlocked(kFeatureBlocks[PublishBulletin], record) && listContains(disabled, sectionID);
}

namespace {

constexpr HookRow hookRowOf(FeatureBlockRow row)
{
    return { kFeatureBlocks[row].place, HookGroup::Guest, kFeatureBlocks[row].className, kFeatureBlocks[row].selector };
}

// The Today view controller's view keeps only a red notice: everything it holds is hidden
// first, then the notice is added, so it is the one subview left to see.
void showTodayNotice(const id& controller)
{
    id view = send<id>(controller, "view");
    if (auto subviews = send<id>(view, "subviews").as<NSArray>()) {
        for (const id& subview : *subviews)
            send(subview, "setHidden:", true);
    }
    CGRect frame = send<CGRect>(view, "frame");
    id label = send<id>(send<id>(objc_getClass("UILabel"), "alloc"), "initWithFrame:",
        CGRectMake(0, 0, frame.size.width - TodayNotice::sideInset, TodayNotice::height));
    send(label, "setCenter:", CGPointMake(frame.size.width * 0.5, frame.size.height * 0.5));
    send(label, "setText:", id(NSString::string(TodayNotice::text)));
    send(label, "setNumberOfLines:", TodayNotice::numberOfLines);
    send(label, "setTextColor:", send<id>(objc_getClass("UIColor"), "systemRedColor"));
    send(label, "setTextAlignment:", static_cast<long long>(NSTextAlignmentCenter));
    send(view, "addSubview:", label);
}

void carryOut(BlockedAnswer step, const id& self)
{
    switch (step) {
    case BlockedAnswer::Refuse:
    case BlockedAnswer::DropBulletin:
        return;
    case BlockedAnswer::HideSelf:
        send(self, "setHidden:", true);
        return;
    case BlockedAnswer::HideTodayView:
        send(send<id>(send<id>(self, "todayViewController"), "view"), "setHidden:", true);
        return;
    case BlockedAnswer::ShowTodayNotice:
        showTodayNotice(self);
        return;
    }
}

// The replacement of one row, for a method of that signature. The toggles are read from
// crntUserData as it stands; this never fetches the record anew.
template<FeatureBlockRow Row, class Signature>
struct Shell;

template<FeatureBlockRow Row, class R, class... Args>
struct Shell<Row, R(Args...)> {
    R operator()(const Previous<R(Args...)>& previous, id self, SEL cmd, Args... args) const
    {
        constexpr const FeatureBlock& row = kFeatureBlocks[Row];
        if constexpr (row.pattern == BlockPattern::HideAfter) {
            static_assert(std::is_void_v<R>, "a Hide-after row replaces a method without a result");
            previous(self, cmd, args...);
            if (featureBlocked(row, crntUserData))
                carryOut(row.blocked, self);
        } else {
            if (!featureBlocked(row, crntUserData))
                return previous(self, cmd, args...);
            carryOut(row.blocked, self);
            if constexpr (!std::is_void_v<R>)
                return R {};
        }
    }
};

template<FeatureBlockRow Row, class Signature>
constexpr HookDeclaration block()
{
    return replace(hookRowOf(Row), Shell<Row, Signature> {});
}

using Explanation = id*;

KAVLOR_HOOK(controlCenterGesture) = block<ControlCenterGesture, bool()>();

// Every bulletin reads the disabled list afresh, so an app disabled meanwhile is dropped at once.
KAVLOR_HOOK(publishBulletin) = replace(hookRowOf(PublishBulletin),
    [](const Previous<void(id, unsigned long long)>& previous, id self, SEL _cmd, id bulletin, unsigned long long destinations) {
        id sectionID = send<id>(bulletin, "sectionID");
        disabledApps = fetchDisabledApps();
        if (bulletinDropped(crntUserData, disabledApps, sectionID))
            return;
        previous(self, _cmd, bulletin, destinations);
    });

KAVLOR_HOOK(searchGesture) = block<SearchGesture, bool(id)>();
KAVLOR_HOOK(searchBarLayout) = block<SearchBarLayout, void()>();
KAVLOR_HOOK(todayViewDidLoad) = block<TodayViewDidLoad, void()>();
KAVLOR_HOOK(librarySearch) = block<LibrarySearch, bool(id)>();
KAVLOR_HOOK(iconLibraryTableLayout) = block<IconLibraryTableLayout, void()>();
KAVLOR_HOOK(minusPageCount) = block<MinusPageCount, long long()>();
KAVLOR_HOOK(layoutTodayView) = block<LayoutTodayView, void()>();
// Refused, the transition has not begun: NO.
KAVLOR_HOOK(beginPageStateTransition) = block<BeginPageStateTransition, bool(long long, bool, bool)>();
KAVLOR_HOOK(widgetWrapperLayout) = block<WidgetWrapperLayout, void()>();
KAVLOR_HOOK(widgetFooterMovedToWindow) = block<WidgetFooterMovedToWindow, void()>();
KAVLOR_HOOK(lockScreenTodayView) = block<LockScreenTodayView, bool(Explanation)>();
KAVLOR_HOOK(todayView) = block<TodayView, bool(Explanation)>();
KAVLOR_HOOK(lockScreenCamera) = block<LockScreenCamera, bool(Explanation)>();
KAVLOR_HOOK(lockScreenCameraSupported) = block<LockScreenCameraSupported, bool(Explanation)>();
KAVLOR_HOOK(iconCloseBoxTapped) = block<IconCloseBoxTapped, void(id)>();

} // namespace
