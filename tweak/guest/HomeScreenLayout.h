#pragma once
// The owner's icon layout, kept apart in the icon-state file while guests move and lose
// icons, and the guest's wallpaper behind the home screen. The decisions, apart from
// SpringBoard.

#include "NSObjectValues.h"

// What the icon-state load hands SpringBoard.
enum class IconStateAnswer {
    Loaded,         // a guest: what SpringBoard loaded, the copy left alone
    StoredCopy,     // the owner with a copy kept: the copy, SpringBoard's own state discarded
    LoadedAndKept,  // the owner without a copy yet: what SpringBoard loaded, kept as the copy
};
IconStateAnswer iconStateAnswer(const id& activeUser, bool copyKept);

// Whether a save of the layout also replaces the owner's copy.
bool iconStateSaveKeepsCopy(const id& activeUser);

// Whether the icon controller's view gets the guest wallpaper: not when guest mode is off
// and the owner is active.
bool showsGuestWallpaper(bool guestModeActive, const id& activeUser);
