#pragma once
// UITapGestureRecognizer: recognised when its view is tapped exactly the required number
// of times (numberOfTapsRequired, default 1).
//
// tap() is how the simulated device taps a view: the touch reaches the recognizers of the
// view and of its ancestors, nearest first, as a real touch would; it reaches nothing
// when the view or an ancestor is hidden or takes no user interaction. The first tap
// recognizer that asks for that many taps and is let begin fires; the others do not.

#include "UIGestureRecognizer.h"

class UITapGestureRecognizer : public UIGestureRecognizer {
public:
    static void declare();

    unsigned long long numberOfTapsRequired() const { return m_taps; }
    void setNumberOfTapsRequired(unsigned long long taps) { m_taps = taps; }
    unsigned long long numberOfTouchesRequired() const { return m_touches; }
    void setNumberOfTouchesRequired(unsigned long long touches) { m_touches = touches; }

    // Taps the view `taps` times in a row; answers whether a recognizer fired.
    static bool tap(const id& view, unsigned long long taps);

private:
    unsigned long long m_taps { 1 };
    unsigned long long m_touches { 1 };
};
