// A guest's own passcode unlocks the device through the owner's stored passcode.

#include "Hook.h"

namespace {

KAVLOR_HOOK(attemptUnlock) = replace({ 10, HookGroup::Switching, "SBLockScreenManager", "attemptUnlockWithPasscode:finishUIUnlock:completion:" },
    [](const Previous<bool(id, bool, id)>& previous, id self, SEL _cmd, id passcode, bool finishUIUnlock, id completion) -> bool {
        return previous(self, _cmd, passcode, finishUIUnlock, completion);
    });

} // namespace
