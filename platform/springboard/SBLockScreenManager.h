#pragma once
// SBLockScreenManager: whether the device's user interface is locked, and unlocking it
// with the device passcode (sharedInstance). The device starts locked.
//
//   attemptUnlockWithPasscode:finishUIUnlock:completion:        "B@:@B@"
//       sends _attemptUnlockWithPasscode:mesa:finishUIUnlock:completion: with mesa NO
//   _attemptUnlockWithPasscode:mesa:finishUIUnlock:completion:  "B@:@BB@"
//       checks the passcode against the device configuration's "passcode" (read at each
//       attempt; a device without one accepts every attempt). Accepted with
//       finishUIUnlock YES: the UI is unlocked; accepted with NO: only verified, the UI
//       stays locked. Answers whether the passcode was accepted, and runs the completion
//       block (if any) with that answer (a block taking a bool, or nothing).
//   isUILocked "B@:", lockUIFromSource:withOptions: "v@:q@" (locks again)
//
// Every attempt emits "unlock-attempt" {source, result: "unlocked", "verified" or
// "refused", mesa, finishUIUnlock}; refused attempts are counted until the next accepted
// one. The source tells how the passcode reached the internal method: "typed" through
// attemptUnlockWithPasscode:finishUIUnlock:completion: (the passcode pad's message),
// "owner" when sent to it directly (on this device only a tweak does that, with the owner's
// stored passcode). The attempt that unlocks a locked device also emits "unlocked".

#include "ClassBuilder.h"

#include <string>

class SBLockScreenManager : public objc_object {
public:
    static void declare(ClassBuilder&, int iosMajor);

    bool isUILocked() const { return m_locked; }
    int failedAttempts() const { return m_failedAttempts; }
    bool attempt(const id& passcode, bool mesa, bool finishUIUnlock, const id& completion);
    // The passcode pad's message: the internal attempt with mesa NO.
    bool attemptFromPasscodePad(const id& self, const id& passcode, bool finishUIUnlock, const id& completion);
    void lock(const std::string& source);

private:
    bool m_locked { true };
    int m_failedAttempts { 0 };
    int m_padAttemptDepth { 0 }; // inside the passcode pad's message
};
