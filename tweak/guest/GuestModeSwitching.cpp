// Switching between the owner and a guest: the start and end handlers, and the respring.

#include "GuestModeSwitching.h"

#include "Block.h"
#include "HBPreferences.h"
#include "Hook.h"
#include "NSNotificationCenter.h"
#include "NSOperationQueue.h"
#include "NSProcessInfo.h"
#include "ProfileStore.h"
#include "Respring.h"

using namespace KavlorSchema;

namespace {

// The reason SpringBoard gives when a card is removed by hand.
constexpr long long kRemovalReason = 1;

// The home screen appears again and again in one SpringBoard; a second pair of observers
// would run each handler, and so the respring, twice for one posting.
bool observersRegistered = false;

bool systemIsAtLeast(NSInteger major)
{
    return NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion({ major, 0, 0 });
}

// The switcher controller, or nil on a system without one.
id sharedSwitcher()
{
    Class switcherClass = objc_getClass("SBMainSwitcherViewController");
    return switcherClass ? send<id>(id(switcherClass), "sharedInstance") : nil;
}

Id<NSArray> layoutsOf(const id& switcher, const char* selector)
{
    return switcher ? send<id>(switcher, selector).as<NSArray>() : nullptr;
}

void deleteRecentAppsByBundleIdentifier(const id& switcher)
{
    auto layouts = layoutsOf(switcher, "recentAppLayouts");
    if (!layouts)
        return;
    for (const id& layout : *layouts) {
        // A card that shows no app names none to delete.
        id bundleIdentifier = firstItemBundleIdentifier(layout);
        if (bundleIdentifier)
            send(switcher, "_deleteAppLayoutsMatchingBundleIdentifier:", bundleIdentifier);
    }
}

// Sends `removalSelector` (a layout and the removal reason) for each layout of the list, as the
// list stood when it was asked for.
void removeEachLayout(const id& switcher, const char* listSelector, const char* removalSelector)
{
    auto layouts = layoutsOf(switcher, listSelector);
    if (!layouts)
        return;
    for (const id& layout : *layouts)
        send(switcher, removalSelector, layout, kRemovalReason);
}

void clearAppSwitcher()
{
    SwitcherClearing clearing = switcherClearingFor(systemIsAtLeast(13), systemIsAtLeast(14));
    if (clearing.deleteByBundleIdentifier)
        deleteRecentAppsByBundleIdentifier(sharedSwitcher());
    if (clearing.deleteEachRecentLayout)
        removeEachLayout(sharedSwitcher(), "recentAppLayouts", "_deleteAppLayout:forReason:");
    if (clearing.quitEachLayout)
        removeEachLayout(sharedSwitcher(), "appLayouts", "_quitAppsRepresentedByAppLayout:forReason:");
}

id observe(const char* name, void (*handler)())
{
    return NSNotificationCenter::defaultCenter()->addObserverForName(NSString::string(name), nil, NSOperationQueue::mainQueue(),
        makeBlock<void(id)>([handler](id) {
            // Called from whoever posted (the panel, the countdown's timer): a failure of
            // the handler ends here instead of unwinding through SpringBoard.
            try {
                handler();
            } catch (...) {
            }
        }));
}

KAVLOR_HOOK(homeScreenDidAppear) = replace({ 9, HookGroup::Switching, "SBHomeScreenViewController", "viewDidAppear:" },
    [](const Previous<void(bool)>& previous, id self, SEL _cmd, bool animated) {
        previous(self, _cmd, animated);
        registerGuestModeHandlers();
    });

} // namespace

bool guestModeNeedsEnding(bool kavlorActive, const id& activeUserName)
{
    return kavlorActive || !isExactlyOwner(activeUserName);
}

SwitcherClearing switcherClearingFor(bool atLeastIOS13, bool atLeastIOS14)
{
    SwitcherClearing clearing;
    clearing.deleteByBundleIdentifier = atLeastIOS14;
    clearing.deleteEachRecentLayout = atLeastIOS13;
    clearing.quitEachLayout = !atLeastIOS13;
    return clearing;
}

id firstItemBundleIdentifier(const id& appLayout)
{
    auto items = appLayout ? send<id>(appLayout, "allItems").as<NSArray>() : nullptr;
    id item = items ? items->firstObject() : nil;
    return item ? send<id>(item, "bundleIdentifier") : nil;
}

void startGuestMode()
{
    // The chosen guest's settings were written before the posting; this reads them.
    crntUserData = fetchCrntUserData();
    clearAppSwitcher();
    respring();
}

void endGuestMode()
{
    if (!guestModeNeedsEnding(isKavlorActive, activeUser))
        return;
    if (mainSettings) {
        mainSettings->setObject(NSString::string(kOwnerName), Key::activeUser);
        mainSettings->setBool(NO, Key::isKavlorActive);
    }
    respring();
}

void registerGuestModeHandlers()
{
    if (observersRegistered)
        return;
    observersRegistered = true;
    observe(kStartGuestModeNotification, &startGuestMode);
    observe(kEndGuestModeNotification, &endGuestMode);
}

void forgetGuestModeHandlersForTesting()
{
    observersRegistered = false;
}
