#include "UserAccountViewActions.h"

#include "Block.h"
#include "CoreGraphics.h"
#include "Dispatch.h"
#include "HBPreferences.h"
#include "NSNotificationCenter.h"
#include "ProfileStore.h"
#include "Respring.h"
#include "StringFormat.h"
#include "SystemLog.h"
#include "UserAccountView.h"

#include <vector>

namespace {

using namespace KavlorSchema;

constexpr const char* kAlertTitle = "Kavlor";
constexpr const char* kConfirmationFormat = "Are you sure you want to start guest mode for user \n\n %@ ?";
constexpr long long kAlertStyle = 1;   // UIAlertControllerStyleAlert
constexpr long long kDefaultAction = 0; // UIAlertActionStyleDefault
constexpr double kSheetDuration = 0.5;
constexpr double kShowHideDuration = 0.3;
constexpr unsigned long long kNoAnimationOptions = 0;
constexpr long long kShowDelayNanoseconds = 150 * NSEC_PER_MSEC;
constexpr double kHiddenScale = 0.5;
constexpr double kShownScale = 1.0;

Class cls(const char* name) { return objc_getClass(name); }

id animationsBlock(std::function<void()> animations) { return makeBlock<void()>(std::move(animations)); }

void setScale(const id& view, double scale)
{
    send(view, "setTransform:", CGAffineTransformMakeScale(scale, scale));
}

void applyFace(const id& panel, PanelFace face)
{
    PanelAlphas alphas = panelAlphasFor(face);
    send(send<id>(panel, "collectionView"), "setAlpha:", alphas.collectionView);
    send(send<id>(panel, "settingButton"), "setAlpha:", alphas.settingButton);
    send(send<id>(panel, "settingView"), "setAlpha:", alphas.settingView);
}

void animateToFace(const id& panel, PanelFace face)
{
    send(cls("UIView"), "animateWithDuration:animations:", kSheetDuration, animationsBlock([panel, face] { applyFace(panel, face); }));
}

void transition(const id& panel, const id& animations, const id& completion)
{
    send(cls("UIView"), "transitionWithView:duration:options:animations:completion:", panel, kShowHideDuration, kNoAnimationOptions, animations,
        completion);
}

// --- choosing an account ---------------------------------------------------------------------

// The settings objects that the YES action replaced: kept, so that what they bind goes on
// following the settings.
std::vector<Id<HBPreferences>>& replacedPanelSettings()
{
    static auto* kept = new std::vector<Id<HBPreferences>>;
    return *kept;
}

void startGuestModeForRow(long long row)
{
    id name = accountNameAt(accountArray, row);
    if (!name)
        return;
    if (panelSettings)
        replacedPanelSettings().push_back(panelSettings);
    panelSettings = HBPreferences::alloc()->initWithIdentifier(kSettingsDomain);
    panelSettings->setObject(name, Key::activeUser);
    panelSettings->setBool(true, Key::isKavlorActive);
    NSNotificationCenter::defaultCenter()->postNotificationName(NSString::string(kStartGuestModeNotification), nil, nil);
}

id makeAction(const char* title, const id& handler)
{
    return send<id>(cls("UIAlertAction"), "actionWithTitle:style:handler:", NSString::string(title), kDefaultAction, handler);
}

void didSelectAccount(const id&, const id& indexPath)
{
    id presenter = alertPresenter();
    long long row = send<long long>(indexPath, "row");
    id name = accountNameAt(accountArray, row);
    id alert = send<id>(cls("UIAlertController"), "alertControllerWithTitle:message:preferredStyle:", NSString::string(kAlertTitle),
        confirmationMessageFor(name), kAlertStyle);
    send(alert, "addAction:", makeAction("YES", makeBlock<void(id)>([indexPath](id) { startGuestModeForRow(send<long long>(indexPath, "row")); })));
    send(alert, "addAction:", makeAction("NO", makeBlock<void(id)>([alert](id) { send(alert, "dismissViewControllerAnimated:completion:", true, nil); })));
    send(presenter, "presentViewController:animated:completion:", alert, true, nil);
    NSLog("aaaaaaa userName:-%@", accountNameAt(accountArray, row));
}

// --- showing and hiding ------------------------------------------------------------------------

void writeHidden(bool hidden)
{
    if (panelSettings)
        panelSettings->setBool(hidden, Key::hideLSAccount);
}

void showPanel(const id& panel)
{
    if (!send<bool>(panel, "isHidden"))
        return;
    send(panel, "setHidden:", false);
    send(panel, "forceLockscreenStackViewLayout");
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, kShowDelayNanoseconds), dispatch_get_main_queue(), [panel] {
        transition(panel, animationsBlock([panel] {
            setScale(panel, kHiddenScale);
            setScale(panel, kShownScale);
            send(panel, "setAlpha:", 1.0);
        }),
            nil);
    });
    writeHidden(false);
}

void hidePanel(const id& panel)
{
    if (send<bool>(panel, "isHidden"))
        return;
    transition(panel, animationsBlock([panel] {
        setScale(panel, kHiddenScale);
        send(panel, "setAlpha:", 0.0);
        applyFace(panel, PanelFace::AccountList);
    }),
        makeBlock<void(bool)>([panel](bool) {
            send(panel, "setHidden:", true);
            send(panel, "forceLockscreenStackViewLayout");
        }));
    writeHidden(true);
}

// The panel sits in the lock screen's stack view, whose superview lays the stack out.
void relayoutLockScreenStack(const id& panel)
{
    id container = send<id>(send<id>(panel, "superview"), "superview");
    if (!container)
        return;
    if (respondsToSelector(container, "_layoutStackView"))
        send<id>(container, "performSelector:", sel("_layoutStackView"));
    else
        send(container, "layoutSubviews");
}

void receiveVisibleNotification(const id& panel, const id& notification)
{
    auto name = send<id>(notification, "name").as<NSString>();
    if (name && name->isEqualToString(kShowUserAccountNotification))
        send(panel, "showAction");
}

} // namespace

PanelAlphas panelAlphasFor(PanelFace face)
{
    if (face == PanelFace::SettingsSheet)
        return { 0.0, 0.0, 1.0 };
    return { 1.0, 1.0, 0.0 };
}

Id<NSString> confirmationMessageFor(const id& name)
{
    return stringWithFormat(kConfirmationFormat, name);
}

id accountNameAt(const Id<NSArray>& accounts, long long row)
{
    if (!accounts || row < 0)
        return nil;
    return accounts->objectAtIndex(static_cast<NSUInteger>(row));
}

id alertPresenter()
{
    id window = send<id>(send<id>(cls("UIApplication"), "sharedApplication"), "keyWindow");
    id presenter = send<id>(window, "rootViewController");
    while (id presented = send<id>(presenter, "presentedViewController"))
        presenter = presented;
    return presenter;
}

void declareUserAccountViewActions(ClassBuilder& builder)
{
    builder
        .method("collectionView:didSelectItemAtIndexPath:", [](id, SEL, id collection, id indexPath) { didSelectAccount(collection, indexPath); })
        .method("settingAction", [](id self, SEL) { animateToFace(self, PanelFace::SettingsSheet); })
        .method("dismissAction", [](id self, SEL) { animateToFace(self, PanelFace::AccountList); })
        .method("showAction", [](id self, SEL) { showPanel(self); })
        .method("hideAction", [](id self, SEL) { hidePanel(self); })
        .method("forceLockscreenStackViewLayout", [](id self, SEL) { relayoutLockScreenStack(self); })
        .method("receiveVisibleNotification:", [](id self, SEL, id notification) { receiveVisibleNotification(self, notification); })
        .method("respringAction", [](id, SEL) { respring(); })
        .method("logoutAction", [](id, SEL) {
            NSNotificationCenter::defaultCenter()->postNotificationName(NSString::string(kEndGuestModeNotification), nil);
        });
}
