#pragma once
// The lock screen's notification-list controller and scroll view: the panel is placed at
// the top of the controller's stack view, and a double tap on the scroll view shows it.
// iOS 13 renamed both classes (SBDashBoard… and SBPagedScrollView became CS…), so every
// function exists once per spelling, with slots and association keys of its own.

#include "CoreGraphics.h"
#include "Runtime.h"

extern IMP originalAdjunctListViewDidLoadCS;
extern IMP originalAdjunctListViewDidLoadDashBoard;
extern IMP originalScrollViewInitWithFrameCS;
extern IMP originalScrollViewInitWithFramePaged;

void adjunctListViewDidLoadCS(id self, SEL _cmd);
void adjunctListViewDidLoadDashBoard(id self, SEL _cmd);
id userAccountViewCS(id self, SEL _cmd);
id userAccountViewDashBoard(id self, SEL _cmd);
void setUserAccountViewCS(id self, SEL _cmd, id view);
void setUserAccountViewDashBoard(id self, SEL _cmd, id view);
id scrollViewInitWithFrameCS(id self, SEL _cmd, CGRect frame);
id scrollViewInitWithFramePaged(id self, SEL _cmd, CGRect frame);
void scrollViewShowActionCS(id self, SEL _cmd);
void scrollViewShowActionPaged(id self, SEL _cmd);
