#pragma once
// The view of the lock screen's notification adjunct list: CoverSheet's CSAdjunctListView
// on iOS 13 and 14, SBDashBoardAdjunctListView on iOS 12 (one C++ type for both). It holds
// the list's stack view; `_layoutStackView` ("v@:") lays the stack view out again at once
// (its arranged views re-placed, hidden ones taking no room) and emits the Trace event
// "stack-view-layout" {view, arranged, visible}.

#include "UIView.h"

class CSAdjunctListView : public UIView {
public:
    static void declare(ClassBuilder&, int iosMajor);
    // Lays out every stack view among its subviews.
    void layoutStackView();
};
