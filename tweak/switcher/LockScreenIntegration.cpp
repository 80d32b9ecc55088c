// The lock screen's notification-list controller and scroll view: the panel is placed at
// the top of the controller's stack view, and a double tap on the scroll view shows it.
// iOS 13 renamed both classes (SBDashBoard… and SBPagedScrollView became CS…), so every
// hook is declared once per spelling, with a slot and an association key of its own.

#include "Block.h"
#include "CoreGraphics.h"
#include "Hook.h"
#include "NSNotificationCenter.h"
#include "NSObjectValues.h"
#include "NSOperationQueue.h"
#include "ProfileStore.h"

namespace {

using namespace KavlorSchema;

constexpr const char* adjunctListCS = "CSNotificationAdjunctListViewController";
constexpr const char* adjunctListDashBoard = "SBDashBoardNotificationAdjunctListViewController";
constexpr const char* scrollViewCS = "CSScrollView";
constexpr const char* scrollViewPaged = "SBPagedScrollView";
constexpr Systems modern = Systems::IOS13AndLater;
constexpr Systems legacy = Systems::BeforeIOS13;
constexpr unsigned long long kTapsToShowThePanel = 2;
constexpr unsigned long long kTopOfTheStack = 0;

// One association key per controller class: the getter and setter of a class share it.
char userAccountViewKeyCS;
char userAccountViewKeyDashBoard;

// The shared panel, built anew (init re-reads the accounts), stored in the controller and
// put at the top of its stack view. Answers the stored panel.
id placeSharedPanel(const id& controller)
{
    id panel = send<id>(send<id>(objc_getClass("UserAccountView"), "sharedInstance"), "init");
    send(controller, "setUserAccountView:", panel);
    id stored = send<id>(controller, "userAccountView");
    send(stored, "setSizeToMimic:", send<CGSize>(controller, "sizeToMimic"));
    send(send<id>(controller, "stackView"), "insertArrangedSubview:atIndex:", stored, kTopOfTheStack);
    return stored;
}

// After an account change the panel is rebuilt and left visible, whatever hideLSAccount says.
void rebuildPanel(const id& controller)
{
    send(controller, "setUserAccountView:", nil);
    placeSharedPanel(controller);
}

// First placement honours hideLSAccount; every load registers one more rebuild observer,
// which holds its controller for the life of SpringBoard.
void adjunctListDidLoad(const id& controller)
{
    if (!send<id>(controller, "userAccountView"))
        send(placeSharedPanel(controller), "setHidden:", hideLSAccount);
    NSNotificationCenter::defaultCenter()->addObserverForName(NSString::string(kAccountsChangedNotification), nil,
        NSOperationQueue::mainQueue(), makeBlock<void(id)>([controller](id) { rebuildPanel(controller); }));
}

// The double-tap recogniser is attached before SpringBoard's own initialisation runs.
void attachDoubleTap(const id& scrollView)
{
    id recognizer = send<id>(send<id>(objc_getClass("UITapGestureRecognizer"), "alloc"), "initWithTarget:action:", scrollView, sel("showAction"));
    send(recognizer, "setNumberOfTapsRequired:", kTapsToShowThePanel);
    send(scrollView, "addGestureRecognizer:", recognizer);
}

void postShowUserAccount(const id& scrollView)
{
    NSNotificationCenter::defaultCenter()->postNotificationName(NSString::string(kShowUserAccountNotification), scrollView, nil);
}

KAVLOR_HOOK(adjunctListDidLoadCS) = replace({ 1, HookGroup::Panel, adjunctListCS, "viewDidLoad", modern },
    [](const Previous<void()>& previous, id self, SEL _cmd) {
        previous(self, _cmd);
        adjunctListDidLoad(self);
    });

KAVLOR_HOOK(adjunctListDidLoadDashBoard) = replace({ 1, HookGroup::Panel, adjunctListDashBoard, "viewDidLoad", legacy },
    [](const Previous<void()>& previous, id self, SEL _cmd) {
        previous(self, _cmd);
        adjunctListDidLoad(self);
    });

KAVLOR_HOOK(userAccountViewCS) = add({ 2, HookGroup::Panel, adjunctListCS, "userAccountView", modern },
    [](id self, SEL) -> id { return objc_getAssociatedObject(self, &userAccountViewKeyCS); });

KAVLOR_HOOK(userAccountViewDashBoard) = add({ 2, HookGroup::Panel, adjunctListDashBoard, "userAccountView", legacy },
    [](id self, SEL) -> id { return objc_getAssociatedObject(self, &userAccountViewKeyDashBoard); });

KAVLOR_HOOK(setUserAccountViewCS) = add({ 3, HookGroup::Panel, adjunctListCS, "setUserAccountView:", modern },
    [](id self, SEL, id view) { objc_setAssociatedObject(self, &userAccountViewKeyCS, view, OBJC_ASSOCIATION_RETAIN_NONATOMIC); });

KAVLOR_HOOK(setUserAccountViewDashBoard) = add({ 3, HookGroup::Panel, adjunctListDashBoard, "setUserAccountView:", legacy },
    [](id self, SEL, id view) { objc_setAssociatedObject(self, &userAccountViewKeyDashBoard, view, OBJC_ASSOCIATION_RETAIN_NONATOMIC); });

KAVLOR_HOOK(scrollViewInitCS) = replace({ 4, HookGroup::Panel, scrollViewCS, "initWithFrame:", modern },
    [](const Previous<id(CGRect)>& previous, id self, SEL _cmd, CGRect frame) -> id {
        attachDoubleTap(self);
        return previous(self, _cmd, frame);
    });

KAVLOR_HOOK(scrollViewInitPaged) = replace({ 4, HookGroup::Panel, scrollViewPaged, "initWithFrame:", legacy },
    [](const Previous<id(CGRect)>& previous, id self, SEL _cmd, CGRect frame) -> id {
        attachDoubleTap(self);
        return previous(self, _cmd, frame);
    });

KAVLOR_HOOK(showActionCS) = add({ 5, HookGroup::Panel, scrollViewCS, "showAction", modern },
    [](id self, SEL) { postShowUserAccount(self); });

KAVLOR_HOOK(showActionPaged) = add({ 5, HookGroup::Panel, scrollViewPaged, "showAction", legacy },
    [](id self, SEL) { postShowUserAccount(self); });

} // namespace
