#pragma once
// UIStatusBarWindow: the window at the top of the screen that SpringBoard gives the status
// bar (a UIStatusBar view) with setStatusBar:, which adds the bar as a subview in place
// of any earlier one.

#include "UIWindow.h"

class UIStatusBarWindow : public UIWindow {
public:
    static void declare();

    const id& statusBar() const { return m_statusBar; }

private:
    id m_statusBar;
};
