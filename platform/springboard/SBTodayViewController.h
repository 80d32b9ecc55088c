#pragma once
// SBTodayViewController: the Today view left of the first home-screen page. viewDidLoad
// builds its widgets: two WGWidgetWrapperViews, one above the other, and a
// WGWidgetListFooterView under them, all subviews of its view.

#include "UIViewController.h"

class SBTodayViewController : public UIViewController {
public:
    static void declare(ClassBuilder&, int iosMajor);
};
