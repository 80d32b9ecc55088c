#pragma once
// A guest's own passcode unlocks the device through the owner's stored passcode.

#include "Runtime.h"

extern IMP originalAttemptUnlock;

bool lockScreenManagerAttemptUnlock(id self, SEL _cmd, id passcode, bool finishUIUnlock, id completion);
