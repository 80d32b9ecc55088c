#pragma once
// WGWidgetListFooterView: the footer under the Today view's widgets (the Edit button).
// didMoveToWindow is its own method (it runs UIView's).

#include "UIView.h"

class WGWidgetListFooterView : public UIView {
public:
    static void declare(ClassBuilder&, int iosMajor);

    int windowMoves() const { return m_windowMoves; }

private:
    int m_windowMoves { 0 };
};
