#include "SBLockScreenManager.h"

#include "DeviceConfiguration.h"
#include "SpringBoardState.h"
#include "Trace.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

SBLockScreenManager& managerOf(const id& self) { return objectAs<SBLockScreenManager>(self, "SBLockScreenManager"); }

const char* yesNo(bool value) { return value ? "YES" : "NO"; }

} // namespace

bool SBLockScreenManager::attempt(const id& passcode, bool mesa, bool finishUIUnlock, const id& completion)
{
    DeviceConfiguration configuration = DeviceConfiguration::load();
    auto typed = passcode.as<NSString>();
    bool accepted = !configuration.passcode || (typed && typed->isEqualToString(*configuration.passcode));
    const char* result = "refused";
    bool unlockedNow = false;
    if (accepted) {
        m_failedAttempts = 0;
        if (finishUIUnlock && m_locked) {
            m_locked = false;
            unlockedNow = true;
        }
        result = finishUIUnlock ? "unlocked" : "verified";
    } else {
        ++m_failedAttempts;
    }
    Trace::emit("unlock-attempt", { { "source", m_padAttemptDepth > 0 ? "typed" : "owner" }, { "result", result }, { "mesa", yesNo(mesa) },
        { "finishUIUnlock", yesNo(finishUIUnlock) } });
    if (unlockedNow)
        Trace::emit("unlocked");
    UIKitSupport::callBlockLeniently(completion, accepted);
    return accepted;
}

bool SBLockScreenManager::attemptFromPasscodePad(const id& self, const id& passcode, bool finishUIUnlock, const id& completion)
{
    ++m_padAttemptDepth;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave { m_padAttemptDepth };
    return send<bool>(self, "_attemptUnlockWithPasscode:mesa:finishUIUnlock:completion:", passcode, false, finishUIUnlock, completion);
}

void SBLockScreenManager::lock(const std::string& source)
{
    m_locked = true;
    Trace::emit("lock", { { "source", source } });
}

void SBLockScreenManager::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBLockScreenManager>()
        .classMethod("sharedInstance", [](id cls, SEL) -> id { return SpringBoardState::sharedInstanceOf(cls); })
        .method("isUILocked", [](id self, SEL) -> bool { return managerOf(self).isUILocked(); })
        .method("attemptUnlockWithPasscode:finishUIUnlock:completion:", [](id self, SEL, id passcode, bool finishUIUnlock, id completion) -> bool {
            return managerOf(self).attemptFromPasscodePad(self, passcode, finishUIUnlock, completion);
        })
        .method("_attemptUnlockWithPasscode:mesa:finishUIUnlock:completion:", [](id self, SEL, id passcode, bool mesa, bool finishUIUnlock, id completion) -> bool {
            return managerOf(self).attempt(passcode, mesa, finishUIUnlock, completion);
        })
        .method("lockUIFromSource:withOptions:", [](id self, SEL, long long source, id) { managerOf(self).lock(std::to_string(source)); });
}
