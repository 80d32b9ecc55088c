#include "MainInitialiser.h"

#include "CFNotificationCenter.h"
#include "HBPreferences.h"
#include "HookTable.h"
#include "NSNotificationCenter.h"
#include "NSProcessInfo.h"
#include "ProfileStore.h"
#include "SystemLog.h"

#include <cstring>
#include <string>

using namespace KavlorSchema;

namespace {

void install(const HookDeclaration& hook)
{
    Class cls = objc_getClass(hook.row.className);
    SEL selector = sel_registerName(hook.row.selector);
    if (hook.kind == HookKind::Added) {
        class_addMethod(cls, selector, hook.function(), hook.encoding().c_str());
        return;
    }
    const char* replacedTypes = method_getTypeEncoding(class_getInstanceMethod(cls, selector));
    IMP previous = nullptr;
    MSHookMessageEx(cls, selector, hook.function(), &previous);
    hook.slot->keep(previous, replacedTypes, hook.encoding());
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
    mainSettings->registerBool(&toggleKavlor, NO, Key::toggleKavlor);
    mainSettings->registerBool(&hideLSAccount, NO, Key::hideLSAccount);
    mainSettings->registerObject(&adminPasscode, ""_ns, Key::adminPasscode);
    isKavlorActive = mainSettings->boolForKey(Key::isKavlorActive);
    mainSettings->registerBool(&showImportantAlert, YES, Key::showImportantAlert);
}

bool systemIsAtLeastIOS13()
{
    return NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion({ 13, 0, 0 });
}

void installHookTable()
{
    GroupDecision decision;
    bool atLeastIOS13 = toggleKavlor && systemIsAtLeastIOS13();
    for (const HookDeclaration* hook : hookTable()) {
        if (hook->row.appliesTo(atLeastIOS13) && decision.allows(hook->row.group))
            install(*hook);
    }
}

void accountsChanged(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef)
{
    // Called from SpringBoard's run loop: whatever an observer of the re-post fails with
    // ends here, silently, instead of unwinding through SpringBoard.
    try {
        NSNotificationCenter::defaultCenter()->postNotificationName(NSString::string(kAccountsChangedNotification), nil, nil);
    } catch (...) {
    }
}

void bridgeAccountChanges()
{
    CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, accountsChanged,
        CFSTR(kAccountsChangedNotification), nullptr, CFNotificationSuspensionBehaviorCoalesce);
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
