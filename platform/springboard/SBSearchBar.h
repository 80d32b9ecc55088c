#pragma once
// SBSearchBar: the search field at the top of home-screen search. layoutSubviews is its
// own method (it runs UIView's).

#include "UIView.h"

class SBSearchBar : public UIView {
public:
    static void declare(ClassBuilder&, int iosMajor);
};
