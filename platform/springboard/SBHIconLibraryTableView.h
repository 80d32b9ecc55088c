#pragma once
// _SBHIconLibraryTableView (iOS 14): the App Library's list of apps. layoutSubviews is its
// own method (it runs UIView's).

#include "UIScrollView.h"

class SBHIconLibraryTableView : public UIScrollView {
public:
    static void declare(ClassBuilder&, int iosMajor);
};
