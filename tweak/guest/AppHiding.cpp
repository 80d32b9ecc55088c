// A guest's disabled apps: their icons are refused by the icon lists and their processes are killed.

#include "AppHiding.h"

#include "Hook.h"
#include "NSTask.h"
#include "ProfileStore.h"

bool processMustEnd(const Id<NSArray>& disabled, const id& bundleIdentifier)
{
    if (listContains(disabled, bundleIdentifier))
        return true;
    auto name = bundleIdentifier.as<NSString>();
    return name && name->isEqualToString(kSiriViewService);
}

bool iconRefused(const Id<NSArray>& disabled, const id& applicationBundleID)
{
    return applicationBundleID && listContains(disabled, applicationBundleID);
}

namespace {

// killall with the process's name, started and left alone: nobody waits for it or reads
// how it ended. A process without a name gives killall nothing to end.
void startKillTask(const id& processName)
{
    if (!processName)
        return;
    id task = send<id>(send<id>(NSTask::cls(), "alloc"), "init");
    send(task, "setLaunchPath:", id(NSString::string(kKillallPath)));
    send(task, "setArguments:", id(NSArray::array({ processName })));
    send(task, "launch");
}

// SpringBoard asks whether a process is in front whenever it deals with it. The guest's
// record and list are fetched afresh first (the record in that order, so the list follows
// the account read now); the answer is SpringBoard's own, also for a process told to end.
KAVLOR_HOOK(isForeground) = replace({ 11, HookGroup::Guest, "FBProcess", "isForeground" },
    [](const Previous<bool()>& previous, id self, SEL _cmd) -> bool {
        crntUserData = fetchCrntUserData();
        disabledApps = fetchDisabledApps();
        if (processMustEnd(disabledApps, send<id>(self, "bundleIdentifier")))
            startKillTask(send<id>(self, "name"));
        return previous(self, _cmd);
    });

// The three ways an icon gets into a list each refuse a disabled app's icon; the list is
// read afresh, so an app enabled again is placed at the next try.
bool refusesIcon(const id& icon)
{
    disabledApps = fetchDisabledApps();
    return iconRefused(disabledApps, send<id>(icon, "applicationBundleID"));
}

KAVLOR_HOOK(placeIcon) = replace({ 29, HookGroup::Guest, "SBIconListModel", "placeIcon:atIndex:" },
    [](const Previous<id(id, unsigned long long)>& previous, id self, SEL _cmd, id icon, unsigned long long index) -> id {
        return refusesIcon(icon) ? nil : previous(self, _cmd, icon, index);
    });

KAVLOR_HOOK(insertIcon) = replace({ 30, HookGroup::Guest, "SBIconListModel", "insertIcon:atIndex:options:" },
    [](const Previous<id(id, unsigned long long, unsigned long long)>& previous, id self, SEL _cmd, id icon, unsigned long long index,
        unsigned long long options) -> id { return refusesIcon(icon) ? nil : previous(self, _cmd, icon, index, options); });

KAVLOR_HOOK(addIcon) = replace({ 31, HookGroup::Guest, "SBIconListModel", "addIcon:asDirty:" },
    [](const Previous<id(id, bool)>& previous, id self, SEL _cmd, id icon, bool dirty) -> id {
        return refusesIcon(icon) ? nil : previous(self, _cmd, icon, dirty);
    });

} // namespace
