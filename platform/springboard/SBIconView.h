#pragma once
// SBIconView: the view of one home-screen icon (`icon`, setIcon:). Its close box, in
// jiggle mode, sends iconCloseBoxTapped: with the icon view to the icon controller.

#include "UIView.h"

class SBIconView : public UIView {
public:
    static void declare(ClassBuilder&, int iosMajor);

    const id& icon() const { return m_icon; }

private:
    id m_icon;
};
