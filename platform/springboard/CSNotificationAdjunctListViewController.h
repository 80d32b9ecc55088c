#pragma once
// The controller of the list above the lock screen's notifications: CoverSheet's
// CSNotificationAdjunctListViewController on iOS 13 and 14, the same class under its
// iOS 12 name SBDashBoardNotificationAdjunctListViewController. One C++ type serves both.
//
// loadView makes its view a CSAdjunctListView (SBDashBoardAdjunctListView before iOS 13),
// which answers _layoutStackView. viewDidLoad builds its content: a vertical UIStackView (`stackView`, spacing 8) filling
// the view, into which the list's entries are arranged. `sizeToMimic` ("{CGSize=dd}@:",
// and setSizeToMimic:) is the size of a notification cell that entries copy: set by
// viewDidLoad to the view's width less 16 points, 72 points high.

#include "CoreGraphics.h"
#include "UIViewController.h"

class CSNotificationAdjunctListViewController : public UIViewController {
public:
    static void declare(ClassBuilder&, int iosMajor);

    const id& stackView() const { return m_stackView; }
    CGSize sizeToMimic() const { return m_sizeToMimic; }

private:
    id m_stackView;
    CGSize m_sizeToMimic {};
};
