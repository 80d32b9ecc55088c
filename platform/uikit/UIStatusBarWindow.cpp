#include "UIStatusBarWindow.h"

#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

UIStatusBarWindow& windowOf(const id& self) { return objectAs<UIStatusBarWindow>(self, "UIStatusBarWindow"); }

} // namespace

void UIStatusBarWindow::declare()
{
    ClassBuilder("UIStatusBar", "UIView");
    ClassBuilder("UIStatusBarWindow", "UIWindow")
        .instancesOf<UIStatusBarWindow>()
        .method("statusBar", [](id self, SEL) -> id { return windowOf(self).statusBar(); })
        .method("setStatusBar:", [](id self, SEL, id statusBar) {
            UIStatusBarWindow& window = windowOf(self);
            if (statusBar == window.m_statusBar)
                return;
            if (window.m_statusBar)
                send(window.m_statusBar, "removeFromSuperview");
            window.m_statusBar = statusBar;
            if (statusBar) {
                send(statusBar, "setFrame:", window.bounds());
                send(self, "addSubview:", statusBar);
            }
        });
}
