#pragma once
// WGWidgetWrapperView: the frame of one widget in the Today view. layoutSubviews is its
// own method (it runs UIView's).

#include "UIView.h"

class WGWidgetWrapperView : public UIView {
public:
    static void declare(ClassBuilder&, int iosMajor);
};
