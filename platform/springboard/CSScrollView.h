#pragma once
// The lock screen's paged scroll view: CSScrollView on iOS 13 and 14, SBPagedScrollView
// on iOS 12 (one C++ type for both). Its initWithFrame: ("@@:{CGRect=...}") is its own
// method (it runs UIScrollView's), so a replacement on this class sees every one made.

#include "UIScrollView.h"

class CSScrollView : public UIScrollView {
public:
    static void declare(ClassBuilder&, int iosMajor);
};
