#pragma once
// UIGestureRecognizer: target-action pairs attached to a view. The view holds its
// recognizers; a recognizer knows its view and its targets without holding them (as on
// the device, a target must outlive the recognizer; the view's own targets are forgotten
// when the view goes).
//
// There are no touches here: the simulated device fires a recognizer with fire() (or, for
// taps, UITapGestureRecognizer::tap). Firing asks the view gestureRecognizerShouldBegin:
// by message, so a replacement of that method decides; when the answer is YES the
// recognizer ends recognised and each target is sent its action (with the recognizer as
// argument, or without when the action's method takes none).

#include "ClassBuilder.h"

#include <vector>

class UIView;

class UIGestureRecognizer : public objc_object {
public:
    enum State : long long { Possible = 0, Began = 1, Changed = 2, Ended = 3, Cancelled = 4, Failed = 5 };

    static void declare();

    void addTarget(const id& target, SEL action);
    void removeTarget(const id& target, SEL action);
    UIView* view() const { return m_view; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    State state() const { return m_state; }
    size_t targetCount() const { return m_targets.size(); }

    // Fires the recognizer as if its gesture had been made on its view. Answers whether it
    // was recognised: NO when it is disabled, on no view, or the view refused it.
    static bool fire(const id& recognizer);

private:
    friend class UIView;
    void attach(UIView* view) { m_view = view; }
    void detach(const UIView* view);

    struct Target {
        objc_object* target;
        SEL action;
    };
    std::vector<Target> m_targets;
    UIView* m_view { nullptr };
    bool m_enabled { true };
    State m_state { Possible };
};
