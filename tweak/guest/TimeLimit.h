#pragma once
// The guest's time limit, counted down in the status bar; guest mode ends at zero.

#include "Runtime.h"

extern IMP originalSetStatusBar;

void statusBarWindowSetStatusBar(id self, SEL _cmd, id statusBar);

// Added to UIStatusBarWindow.
void statusBarWindowStart(id self, SEL _cmd);
void statusBarWindowTimerFired(id self, SEL _cmd);
