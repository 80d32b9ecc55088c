#pragma once
// UIViewController: owns a view, made on first request: `view` sends loadView (the
// default makes a plain view the size of the main screen) and then viewDidLoad, both as
// messages so that replacements run.
//
// Appearance: beginAppearanceTransition:animated: sends viewWillAppear: (or
// viewWillDisappear:) and endAppearanceTransition sends viewDidAppear: (or
// viewDidDisappear:); both are passed on to the child controllers after the controller
// itself, and a transition to the state a controller is already in or entering is
// ignored. A window sends them to its root controller when it is shown or hidden, and
// presentation sends them to the presented controller.
//
// presentViewController:animated:completion: records the presented controller (one at a
// time, as UIKit allows: a second presentation while one is shown is refused with the
// Trace event "uikit-warning"), makes it appear, emits "view-controller-presented" and
// runs the completion block. dismissViewControllerAnimated:completion: sent to the
// presenter or to the presented controller dismisses it.

#include "ScreenChanges.h"
#include "Trace.h"
#include "UIResponder.h"

#include <vector>

class UIViewController : public UIResponder {
public:
    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };

    ~UIViewController() override;
    static void declare();

    // The view, loaded first if need be.
    id view();
    const id& viewIfLoaded() const { return m_view; }
    bool isViewLoaded() const { return static_cast<bool>(m_view); }
    void setView(const id& view);
    const id& title() const { return m_title; }
    void setTitle(const id& title) { ScreenChanges::setDrawn(m_title, title); }

    UIViewController* parent() const { return m_parent; }
    const std::vector<id>& children() const { return m_children; }
    void addChild(const id& child);
    void removeFromParent();

    const id& presentedViewController() const { return m_presented; }
    UIViewController* presentingViewController() const { return m_presenting; }
    void present(const id& controller, bool animated, const id& completion);
    void dismiss(bool animated, const id& completion);

    Appearance appearance() const { return m_appearance; }
    void beginAppearanceTransition(bool appearing, bool animated);
    void endAppearanceTransition();

    static Id<UIViewController> from(const id& object) { return object.as<UIViewController>(); }

protected:
    // What "view-controller-presented" tells about this controller beyond its class.
    virtual Trace::Fields presentationTraceFields() const { return {}; }
    // Called once this controller has been presented (and appeared) on `presenter`.
    virtual void wasPresented(const UIViewController&) { }
    // The controller that presented this one is gone without dismissing it.
    virtual void presenterWentAway() { }

private:
    id m_view;
    id m_title;
    UIViewController* m_parent { nullptr };
    std::vector<id> m_children;
    id m_presented;
    UIViewController* m_presenting { nullptr };
    Appearance m_appearance { Appearance::Disappeared };
    bool m_transitionAnimated { false };
};
