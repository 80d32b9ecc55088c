#pragma once
// Switching between the owner and a guest: the start and end handlers, and the respring.

#include "Runtime.h"

extern IMP originalHomeScreenViewDidAppear;

void homeScreenViewDidAppear(id self, SEL _cmd, bool animated);
