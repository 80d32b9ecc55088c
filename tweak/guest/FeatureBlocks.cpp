#include "FeatureBlocks.h"

#include "MessageSend.h"

IMP originalShouldAllowControlCenterGesture;
IMP originalPublishBulletin;
IMP originalSearchGestureShouldBegin;
IMP originalSearchBarLayoutSubviews;
IMP originalTodayViewDidLoad;
IMP originalLibrarySearchShouldBeginEditing;
IMP originalIconLibraryTableLayoutSubviews;
IMP originalMinusPageCount;
IMP originalLayoutSubviewsForTodayView;
IMP originalBeginPageStateTransition;
IMP originalWidgetWrapperLayoutSubviews;
IMP originalWidgetFooterDidMoveToWindow;
IMP originalAllowsLockScreenTodayView;
IMP originalAllowsTodayView;
IMP originalAllowsLockScreenCamera;
IMP originalAllowsLockScreenCameraSupported;
IMP originalIconCloseBoxTapped;

bool controlCenterShouldAllowGesture(id self, SEL _cmd)
{
    return callOriginal<bool>(originalShouldAllowControlCenterGesture, self, _cmd);
}

void bulletinServerPublishBulletin(id self, SEL _cmd, id bulletin, unsigned long long destinations)
{
    callOriginal(originalPublishBulletin, self, _cmd, bulletin, destinations);
}

bool searchScrollViewGestureShouldBegin(id self, SEL _cmd, id gestureRecognizer)
{
    return callOriginal<bool>(originalSearchGestureShouldBegin, self, _cmd, gestureRecognizer);
}

void searchBarLayoutSubviews(id self, SEL _cmd)
{
    callOriginal(originalSearchBarLayoutSubviews, self, _cmd);
}

void todayViewControllerViewDidLoad(id self, SEL _cmd)
{
    callOriginal(originalTodayViewDidLoad, self, _cmd);
}

bool librarySearchShouldBeginEditing(id self, SEL _cmd, id searchBar)
{
    return callOriginal<bool>(originalLibrarySearchShouldBeginEditing, self, _cmd, searchBar);
}

void iconLibraryTableLayoutSubviews(id self, SEL _cmd)
{
    callOriginal(originalIconLibraryTableLayoutSubviews, self, _cmd);
}

long long rootFolderMinusPageCount(id self, SEL _cmd)
{
    return callOriginal<long long>(originalMinusPageCount, self, _cmd);
}

void rootFolderLayoutTodayView(id self, SEL _cmd)
{
    callOriginal(originalLayoutSubviewsForTodayView, self, _cmd);
}

void rootFolderBeginPageStateTransition(id self, SEL _cmd, long long state, bool animated, bool interactive)
{
    callOriginal(originalBeginPageStateTransition, self, _cmd, state, animated, interactive);
}

void widgetWrapperLayoutSubviews(id self, SEL _cmd)
{
    callOriginal(originalWidgetWrapperLayoutSubviews, self, _cmd);
}

void widgetFooterDidMoveToWindow(id self, SEL _cmd)
{
    callOriginal(originalWidgetFooterDidMoveToWindow, self, _cmd);
}

bool allowsLockScreenTodayView(id self, SEL _cmd, id* explanation)
{
    return callOriginal<bool>(originalAllowsLockScreenTodayView, self, _cmd, explanation);
}

bool allowsTodayView(id self, SEL _cmd, id* explanation)
{
    return callOriginal<bool>(originalAllowsTodayView, self, _cmd, explanation);
}

bool allowsLockScreenCamera(id self, SEL _cmd, id* explanation)
{
    return callOriginal<bool>(originalAllowsLockScreenCamera, self, _cmd, explanation);
}

bool allowsLockScreenCameraSupported(id self, SEL _cmd, id* explanation)
{
    return callOriginal<bool>(originalAllowsLockScreenCameraSupported, self, _cmd, explanation);
}

void iconControllerCloseBoxTapped(id self, SEL _cmd, id icon)
{
    callOriginal(originalIconCloseBoxTapped, self, _cmd, icon);
}
