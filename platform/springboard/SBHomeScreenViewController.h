#pragma once
// SBHomeScreenViewController: the root controller of the home-screen window. The icon
// controller is its child, so the icon controller appears and disappears with it.
// viewDidAppear: is UIViewController's.

#include "UIViewController.h"

class SBHomeScreenViewController : public UIViewController {
public:
    static void declare(ClassBuilder&, int iosMajor);
};
