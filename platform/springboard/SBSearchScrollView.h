#pragma once
// SBSearchScrollView: the home screen's scroll view that a pull-down turns into search.
// Its gestureRecognizerShouldBegin: ("B@:@") is its own method and lets every recognizer
// begin (UIView's answer).

#include "UIScrollView.h"

class SBSearchScrollView : public UIScrollView {
public:
    static void declare(ClassBuilder&, int iosMajor);
};
