#pragma once
// The lock screen's controller: CSCoverSheetViewController on iOS 13 and 14,
// SBDashBoardViewController on iOS 12 (one C++ type for both).
//
// viewDidLoad, in this order: makes the notification adjunct list controller of the
// version (a child controller) and loads its view (its viewDidLoad runs); makes the
// lock screen's scroll view of the version (CSScrollView or SBPagedScrollView) with
// initWithFrame: the view's bounds; puts the list's view into the scroll view and the
// scroll view into the controller's view.

#include "UIViewController.h"

class CSCoverSheetViewController : public UIViewController {
public:
    static void declare(ClassBuilder&, int iosMajor);

    const id& scrollView() const { return m_scrollView; }
    const id& adjunctListViewController() const { return m_adjunctListViewController; }

private:
    id m_scrollView;
    id m_adjunctListViewController;
};
