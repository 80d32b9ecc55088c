#pragma once
// The lock screen's class names on the registered version: iOS 13 moved the lock screen
// out of SpringBoard's "SBDashBoard" classes into the CoverSheet framework ("CS"), and its
// paged scroll view SBPagedScrollView became CSScrollView.

#include "SpringBoardState.h"

struct LockScreenClasses {
    const char* coverSheetViewController;
    const char* adjunctListViewController;
    const char* adjunctListView;
    const char* scrollView;

    static LockScreenClasses forVersion(int iosMajor)
    {
        if (iosMajor >= 13)
            return { "CSCoverSheetViewController", "CSNotificationAdjunctListViewController", "CSAdjunctListView", "CSScrollView" };
        return { "SBDashBoardViewController", "SBDashBoardNotificationAdjunctListViewController", "SBDashBoardAdjunctListView", "SBPagedScrollView" };
    }
    static LockScreenClasses current() { return forVersion(SpringBoardState::shared().iosMajor); }
};
