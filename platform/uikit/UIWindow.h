#pragma once
// UIWindow: the root of a view hierarchy. Windows start hidden, as on the device; showing
// a window (setHidden: NO, makeKeyAndVisible) makes its root controller appear, hiding it
// makes the controller disappear. The root controller's view fills the window. Every live
// window is listed by UIApplication's `windows`.

#include "ScreenChanges.h"
#include "UIView.h"

class UIWindow : public UIView {
public:
    UIWindow();
    ~UIWindow() override;
    static void declare();

    const id& rootViewController() const { return m_rootViewController; }
    void setRootViewController(const id& controller);
    // setHidden: of a window: also runs the root controller's appearance transition.
    void setWindowHidden(bool hidden);
    void makeKeyAndVisible();
    bool isKeyWindow() const;
    double windowLevel() const { return m_windowLevel; }
    void setWindowLevel(double level) { ScreenChanges::setDrawn(m_windowLevel, level); }

private:
    id m_rootViewController;
    double m_windowLevel { 0 };
};
