#include "TimeLimit.h"

#include "MessageSend.h"

IMP originalSetStatusBar;

void statusBarWindowSetStatusBar(id self, SEL _cmd, id statusBar)
{
    callOriginal(originalSetStatusBar, self, _cmd, statusBar);
}

// The countdown's added methods. They arrive with the countdown itself; until then a
// status-bar window that is sent them does nothing.
void statusBarWindowStart(id, SEL) { }
void statusBarWindowTimerFired(id, SEL) { }
