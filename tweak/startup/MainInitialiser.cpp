#include "MainInitialiser.h"

#include "CFNotificationCenter.h"
#include "HBPreferences.h"
#include "HookTable.h"
#include "NSNotificationCenter.h"
#include "NSProcessInfo.h"
#include "ProfileStore.h"
#include "SystemLog.h"
#include "Trace.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* accountChangeNotification = "com.Quennic.Kavlor/addedNewUser";

// The type encodings of the added methods are built in one buffer that the additions
// share in turn.
char addedMethodTypes[16];

const char* addedMethodEncoding(AddedEncoding kind)
{
    switch (kind) {
    case AddedEncoding::Getter:
        std::snprintf(addedMethodTypes, sizeof addedMethodTypes, "%s@:", "@");
        break;
    case AddedEncoding::Setter:
        std::snprintf(addedMethodTypes, sizeof addedMethodTypes, "v@:%s", "@");
        break;
    case AddedEncoding::Action:
    case AddedEncoding::None:
        std::strcpy(addedMethodTypes, "v@:");
        break;
    }
    return addedMethodTypes;
}

void install(const HookRow& row, bool atLeastIOS13)
{
    const HookTarget& target = row.targetFor(atLeastIOS13);
    Class cls = objc_getClass(target.className);
    if (row.kind == HookKind::Added)
        class_addMethod(cls, sel_registerName(row.selector), target.function, addedMethodEncoding(row.addedEncoding));
    else
        MSHookMessageEx(cls, sel_registerName(row.selector), target.function, target.slot);
}

// Which groups this SpringBoard gets, decided once from the settings as they are at load.
// The guest decision reads activeUser and fetches the guest's data when it is first needed,
// after the switching replacements are in place.
class GroupDecision {
public:
    bool allows(HookGroup group)
    {
        switch (group) {
        case HookGroup::Base:
            return true;
        case HookGroup::Panel:
        case HookGroup::Switching:
            return toggleKavlor;
        case HookGroup::Guest:
            return guestReplacementsWanted();
        }
        return false;
    }

private:
    bool guestReplacementsWanted()
    {
        if (!m_guestDecided) {
            m_guestDecided = true;
            m_guest = toggleKavlor && isKavlorActive && enterGuestPath();
        }
        return m_guest;
    }

    static bool enterGuestPath()
    {
        activeUser = readActiveUser();
        if (isExactlyOwner(activeUser))
            return false;
        crntUserData = fetchCrntUserData();
        disabledApps = fetchDisabledApps();
        return true;
    }

    bool m_guestDecided { false };
    bool m_guest { false };
};

void makeMainSettings()
{
    mainSettings = HBPreferences::alloc()->initWithIdentifier(kSettingsDomain);
    mainSettings->registerBool(&toggleKavlor, NO, "toggleKavlor");
    mainSettings->registerBool(&hideLSAccount, NO, "hideLSAccount");
    mainSettings->registerObject(&adminPasscode, ""_ns, "adminPasscode");
    isKavlorActive = mainSettings->boolForKey("isKavlorActive");
    mainSettings->registerBool(&showImportantAlert, YES, "showImportantAlert");
}

bool systemIsAtLeastIOS13()
{
    return NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion({ 13, 0, 0 });
}

void reportInstalledGroups(const std::vector<HookGroup>& groups)
{
    std::string names;
    for (HookGroup group : groups)
        names += (names.empty() ? "" : ",") + std::string(hookGroupName(group));
    Trace::emit("hook-groups", { { "groups", names } });
}

void installHookTable()
{
    GroupDecision decision;
    bool atLeastIOS13 = toggleKavlor && systemIsAtLeastIOS13();
    std::vector<HookGroup> installed;
    for (const HookRow& row : hookTable()) {
        if (!decision.allows(row.group))
            continue;
        install(row, atLeastIOS13);
        if (std::find(installed.begin(), installed.end(), row.group) == installed.end())
            installed.push_back(row.group);
    }
    reportInstalledGroups(installed);
}

void accountsChanged(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef)
{
    // Called from SpringBoard's run loop: whatever an observer of the re-post fails with
    // ends here, silently, instead of unwinding through SpringBoard.
    try {
        NSNotificationCenter::defaultCenter()->postNotificationName(NSString::string(accountChangeNotification), nil, nil);
    } catch (...) {
    }
}

void bridgeAccountChanges()
{
    CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, accountsChanged,
        CFSTR(accountChangeNotification), nullptr, CFNotificationSuspensionBehaviorCoalesce);
}

} // namespace

bool processIsServed(const char* executablePath)
{
    if (!executablePath)
        return false;
    return std::strstr(executablePath, "/Application") || std::strstr(executablePath, "SpringBoard.app");
}

void mainInitialiser()
{
    auto arguments = NSProcessInfo::processInfo()->arguments();
    auto executable = arguments ? arguments->firstObject().as<NSString>() : nullptr;
    if (!executable || !processIsServed(executable->UTF8String()))
        return;
    makeMainSettings();
    installHookTable();
    NSLog("xxxxxxxx crntUserData:-%@", crntUserData);
    bridgeAccountChanges();
}
