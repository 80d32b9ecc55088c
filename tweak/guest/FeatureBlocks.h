#pragma once
// The features a guest's toggles block: Control Centre, notifications of disabled apps, search, the Today view, app deletion; and the icon-library search and lock-screen camera, blocked for every guest.

#include "Runtime.h"

extern IMP originalShouldAllowControlCenterGesture;
extern IMP originalPublishBulletin;
extern IMP originalSearchGestureShouldBegin;
extern IMP originalSearchBarLayoutSubviews;
extern IMP originalTodayViewDidLoad;
extern IMP originalLibrarySearchShouldBeginEditing;
extern IMP originalIconLibraryTableLayoutSubviews;
extern IMP originalMinusPageCount;
extern IMP originalLayoutSubviewsForTodayView;
extern IMP originalBeginPageStateTransition;
extern IMP originalWidgetWrapperLayoutSubviews;
extern IMP originalWidgetFooterDidMoveToWindow;
extern IMP originalAllowsLockScreenTodayView;
extern IMP originalAllowsTodayView;
extern IMP originalAllowsLockScreenCamera;
extern IMP originalAllowsLockScreenCameraSupported;
extern IMP originalIconCloseBoxTapped;

bool controlCenterShouldAllowGesture(id self, SEL _cmd);
void bulletinServerPublishBulletin(id self, SEL _cmd, id bulletin, unsigned long long destinations);
bool searchScrollViewGestureShouldBegin(id self, SEL _cmd, id gestureRecognizer);
void searchBarLayoutSubviews(id self, SEL _cmd);
void todayViewControllerViewDidLoad(id self, SEL _cmd);
bool librarySearchShouldBeginEditing(id self, SEL _cmd, id searchBar);
void iconLibraryTableLayoutSubviews(id self, SEL _cmd);
long long rootFolderMinusPageCount(id self, SEL _cmd);
void rootFolderLayoutTodayView(id self, SEL _cmd);
void rootFolderBeginPageStateTransition(id self, SEL _cmd, long long state, bool animated, bool interactive);
void widgetWrapperLayoutSubviews(id self, SEL _cmd);
void widgetFooterDidMoveToWindow(id self, SEL _cmd);
bool allowsLockScreenTodayView(id self, SEL _cmd, id* explanation);
bool allowsTodayView(id self, SEL _cmd, id* explanation);
bool allowsLockScreenCamera(id self, SEL _cmd, id* explanation);
bool allowsLockScreenCameraSupported(id self, SEL _cmd, id* explanation);
void iconControllerCloseBoxTapped(id self, SEL _cmd, id icon);
