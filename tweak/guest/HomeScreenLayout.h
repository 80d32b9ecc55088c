#pragma once
// The owner's icon layout kept in the icon-state file, and the guest's wallpaper behind the home screen.

#include "Runtime.h"

extern IMP originalLoadCurrentIconState;
extern IMP originalSaveCurrentIconState;
extern IMP originalIconControllerViewWillAppear;

id iconStoreLoadCurrentIconState(id self, SEL _cmd, id* error);
bool iconStoreSaveCurrentIconState(id self, SEL _cmd, id state, id* error);
void iconControllerViewWillAppear(id self, SEL _cmd, bool animated);
