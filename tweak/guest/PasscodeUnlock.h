#pragma once
// A guest's own passcode unlocks the device: when the passcode typed on the lock screen is
// the active account's own "PassCode", the lock-screen manager is made to unlock with the
// owner's stored device passcode ("adminPasscode").

#include "NSObjectValues.h"

// Whether the owner's stored passcode is to be tried after SpringBoard tried the typed one:
// the typed passcode is exactly the account's own, and neither of them nor the stored
// passcode is empty or missing (an empty passcode must never unlock the device).
bool ownerAttemptsWanted(const id& typedPasscode, const id& accountPasscode, const id& storedOwnerPasscode);
