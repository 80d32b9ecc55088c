#pragma once
// UIControl: a view that sends actions to targets for control events
// (addTarget:action:forControlEvents:, removeTarget:action:forControlEvents:,
// sendActionsForControlEvents:, allTargets, enabled). An action method takes the sender
// ("v@:@") or nothing ("v@:"). A nil target is not looked up along the responder chain
// here: its action is dropped.
//
// Targets are held strongly here (on the device, weakly): a control's target that also
// owns the control forms a cycle until the control leaves its owner's tree.

#include "UIView.h"

enum UIControlEvents : unsigned long long {
    UIControlEventTouchDown = 1 << 0,
    UIControlEventTouchUpInside = 1 << 6,
    UIControlEventValueChanged = 1 << 12,
    UIControlEventPrimaryActionTriggered = 1 << 13,
};

enum UIControlState : unsigned long long {
    UIControlStateNormal = 0,
    UIControlStateHighlighted = 1 << 0,
    UIControlStateDisabled = 1 << 1,
    UIControlStateSelected = 1 << 2,
};

class UIControl : public UIView {
public:
    static void declare();

    struct TargetAction {
        id target;
        SEL action;
        unsigned long long events;
    };
    const std::vector<TargetAction>& targetActions() const { return m_targetActions; }
    void addTarget(const id& target, SEL action, unsigned long long events);
    void removeTarget(const id& target, SEL action, unsigned long long events);
    // Sends each matching action, in the order they were added; nothing while disabled.
    void sendActionsForControlEvents(unsigned long long events);
    bool isEnabled() const { return m_enabled; }

private:
    std::vector<TargetAction> m_targetActions;
    bool m_enabled { true };
};
