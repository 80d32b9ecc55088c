#pragma once
// UIAlertController: a title, a message, a preferred style (0 action sheet, 1 alert) and
// actions in the order added. Presented like any controller; "view-controller-presented"
// then also carries its title, message and action titles ("Okay|Cancel"), and the alert
// emits the Trace event "alert" {presenter, title, message, actions, styles} ("0|0").
//
// There are no touches here: tapAction() is how the simulated device taps a button. As on
// the device, tapping dismisses the alert first and then runs the action's handler with
// the action; the private message _dismissAnimated:triggeringAction: does the same. A tap
// emits "alert-action" {title (the alert's), action (the button's), style}.

#include "UIViewController.h"

#include <string>

enum UIAlertControllerStyle : long long {
    UIAlertControllerStyleActionSheet = 0,
    UIAlertControllerStyleAlert = 1,
};

class UIAlertController : public UIViewController {
public:
    static void declare();

    const id& message() const { return m_message; }
    std::string titleString() const;
    std::string messageString() const;
    UIAlertControllerStyle preferredStyle() const { return m_preferredStyle; }
    const std::vector<id>& actions() const { return m_actions; }

    // Taps the button of that title (the first one, if several have it). Answers NO when
    // there is no such button or it is disabled.
    static bool tapAction(const id& alert, const std::string& title);
    // Taps the action (one of the alert's): dismisses the alert, then runs the handler.
    static void dismissTriggeringAction(const id& alert, const id& action, bool animated);

protected:
    Trace::Fields presentationTraceFields() const override;
    void wasPresented(const UIViewController& presenter) override;
    // An alert left on screen when its presenter goes lets its actions (and the handlers
    // that hold it) go.
    void presenterWentAway() override { m_actions.clear(); }

private:
    id m_message;
    UIAlertControllerStyle m_preferredStyle { UIAlertControllerStyleActionSheet };
    std::vector<id> m_actions;
};
