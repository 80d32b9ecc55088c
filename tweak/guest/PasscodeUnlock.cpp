// A guest's own passcode unlocks the device through the owner's stored passcode.

#include "PasscodeUnlock.h"

#include "Hook.h"
#include "ProfileStore.h"

using namespace KavlorSchema;

namespace {

bool isNonEmptyString(const id& value)
{
    auto text = value.as<NSString>();
    return text && text->length() > 0;
}

// SpringBoard's own attempt with the stored owner passcode; the completion block that
// SpringBoard passed in belongs to the typed attempt alone.
bool attemptWithOwnerPasscode(const id& lockScreenManager, bool finishUIUnlock)
{
    return send<bool>(lockScreenManager, "_attemptUnlockWithPasscode:mesa:finishUIUnlock:completion:", adminPasscode, false,
        finishUIUnlock, nil);
}

KAVLOR_HOOK(attemptUnlock) = replace({ 10, HookGroup::Switching, "SBLockScreenManager", "attemptUnlockWithPasscode:finishUIUnlock:completion:" },
    [](const Previous<bool(id, bool, id)>& previous, id self, SEL _cmd, id passcode, bool finishUIUnlock, id completion) -> bool {
        crntUserData = fetchCrntUserData();
        id accountPasscode = recordString(crntUserData, RecordKey::passCode);
        bool typedAttempt = previous(self, _cmd, passcode, finishUIUnlock, completion);
        // Not the account's own passcode: what SpringBoard made of it stands, success included.
        if (!ownerAttemptsWanted(passcode, accountPasscode, adminPasscode))
            return typedAttempt;
        // Verified first without finishing the unlock; only a passcode that is accepted
        // finishes it.
        if (!attemptWithOwnerPasscode(self, false))
            return false;
        return attemptWithOwnerPasscode(self, true);
    });

} // namespace

bool ownerAttemptsWanted(const id& typedPasscode, const id& accountPasscode, const id& storedOwnerPasscode)
{
    if (!isNonEmptyString(typedPasscode) || !isNonEmptyString(accountPasscode) || !isNonEmptyString(storedOwnerPasscode))
        return false;
    return typedPasscode.as<NSString>()->isEqualToString(accountPasscode.as<NSString>());
}
