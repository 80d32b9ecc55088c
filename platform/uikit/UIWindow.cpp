#include "UIWindow.h"

#include "ScreenChanges.h"
#include "UIKitState.h"
#include "UIKitSupport.h"
#include "UIViewController.h"

#include <algorithm>

using UIKitSupport::objectAs;

namespace {

UIWindow& windowOf(const id& self) { return objectAs<UIWindow>(self, "UIWindow"); }

void runAppearance(const id& controller, bool appearing)
{
    if (!controller)
        return;
    send(controller, "beginAppearanceTransition:animated:", appearing, false);
    send(controller, "endAppearanceTransition");
}

} // namespace

UIWindow::UIWindow()
{
    setHidden(true);
    UIKitState::shared().windows.push_back(this);
}

UIWindow::~UIWindow()
{
    UIKitState& state = UIKitState::shared();
    std::erase(state.windows, this);
    if (!isHidden())
        ScreenChanges::markChanged();
    if (state.keyWindow == this)
        state.keyWindow = nullptr;
}

void UIWindow::setRootViewController(const id& controller)
{
    if (controller == m_rootViewController)
        return;
    if (controller && !UIViewController::from(controller))
        throw RuntimeError(fmt::format("-[UIWindow setRootViewController:]: {} is not a view controller", object_getClassName(controller)));
    bool visible = !isHidden();
    id self(this);
    if (id old = m_rootViewController) {
        if (visible)
            runAppearance(old, false);
        if (auto oldView = UIView::from(UIViewController::from(old)->viewIfLoaded()); oldView && oldView->superview() == this)
            send(id(oldView), "removeFromSuperview");
    }
    m_rootViewController = controller;
    if (!controller)
        return;
    id view = send<id>(controller, "view");
    send(view, "setFrame:", bounds());
    send(self, "addSubview:", view);
    if (visible)
        runAppearance(controller, true);
}

void UIWindow::setWindowHidden(bool hidden)
{
    bool wasHidden = isHidden();
    setHidden(hidden);
    if (hidden && isKeyWindow())
        UIKitState::shared().keyWindow = nullptr;
    if (wasHidden != hidden)
        runAppearance(m_rootViewController, !hidden);
}

void UIWindow::makeKeyAndVisible()
{
    UIKitState::shared().keyWindow = this;
    send(id(this), "setHidden:", false);
}

bool UIWindow::isKeyWindow() const
{
    return UIKitState::shared().keyWindow == this;
}

void UIWindow::declare()
{
    ClassBuilder("UIWindow", "UIView")
        .instancesOf<UIWindow>()
        .method("setHidden:", [](id self, SEL, bool hidden) { windowOf(self).setWindowHidden(hidden); })
        .method("rootViewController", [](id self, SEL) -> id { return windowOf(self).rootViewController(); })
        .method("setRootViewController:", [](id self, SEL, id controller) { windowOf(self).setRootViewController(controller); })
        .method("makeKeyAndVisible", [](id self, SEL) { windowOf(self).makeKeyAndVisible(); })
        .method("isKeyWindow", [](id self, SEL) -> bool { return windowOf(self).isKeyWindow(); })
        .method("windowLevel", [](id self, SEL) -> double { return windowOf(self).windowLevel(); })
        .method("setWindowLevel:", [](id self, SEL, double level) { windowOf(self).setWindowLevel(level); });
}
