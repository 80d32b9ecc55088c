#pragma once
// Switching between the owner and a guest. The home screen's first appearance in a
// SpringBoard registers two observers on the default centre: the start handler
// ("com.Quennic.Kavlor/startGuestMode", posted once the chosen guest's settings are
// written) clears the app switcher and resprings; the end handler
// ("com.Quennic.Kavlor/endGuestMode", posted by Logout and by the end of the time limit)
// makes "Admin" the active account again and resprings. Which replacements run is decided
// once per SpringBoard start, so every switch ends in a respring.

#include "NSObjectValues.h"

// Whether the end handler has anything to do: only when guest mode is off and the owner
// (exactly "Admin") is already active does it leave everything as it is.
bool guestModeNeedsEnding(bool kavlorActive, const id& activeUserName);

// How the app switcher is cleared on this system: on iOS 14 each recent layout's app is
// first deleted by bundle identifier, then (13 and later) each recent layout is deleted;
// before 13 the apps of each layout are quit.
struct SwitcherClearing {
    bool deleteByBundleIdentifier = false;
    bool deleteEachRecentLayout = false;
    bool quitEachLayout = false;
    friend bool operator==(const SwitcherClearing&, const SwitcherClearing&) = default;
};
SwitcherClearing switcherClearingFor(bool atLeastIOS13, bool atLeastIOS14);

// The bundle identifier of a layout's first item; nil when the layout shows nothing.
id firstItemBundleIdentifier(const id& appLayout);

// The handlers, as the default centre calls them.
void startGuestMode();
void endGuestMode();

// Registers the start and end handlers, once per SpringBoard process: later appearances of
// the home screen add nothing, so one posting runs each handler once.
void registerGuestModeHandlers();
// A test's fresh SpringBoard: the next appearance registers again.
void forgetGuestModeHandlersForTesting();
