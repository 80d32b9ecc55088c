#include "PasscodeUnlock.h"

#include "MessageSend.h"

IMP originalAttemptUnlock;

bool lockScreenManagerAttemptUnlock(id self, SEL _cmd, id passcode, bool finishUIUnlock, id completion)
{
    return callOriginal<bool>(originalAttemptUnlock, self, _cmd, passcode, finishUIUnlock, completion);
}
