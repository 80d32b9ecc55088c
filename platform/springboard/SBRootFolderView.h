#pragma once
// SBRootFolderView: the view of the home screen's pages. initWithFrame: makes its Today
// view controller (`todayViewController`; its view, loaded then, sits left of the first
// page) and the search scroll view (SBSearchScrollView) with the search bar (SBSearchBar).
//
//   _minusPageCount "q@:"                   pages left of the first page: 1, the Today view
//   _layoutSubviewsForTodayView "v@:"       places the Today view left of the first page;
//                                           layoutSubviews sends it after UIView's
//   beginPageStateTransitionToState:animated:interactive: "B@:qBB"
//                                           moves to a page state (pageState "q@:"; 0 the
//                                           pages, 1 the Today view) and answers whether
//                                           the transition began (YES here); emits
//                                           "page-state-transition" {state}

#include "UIView.h"

enum SBRootFolderPageState : long long {
    SBRootFolderPageStateRegular = 0,
    SBRootFolderPageStateTodayView = 1,
};

class SBRootFolderView : public UIView {
public:
    static void declare(ClassBuilder&, int iosMajor);

    const id& todayViewController() const { return m_todayViewController; }
    const id& searchScrollView() const { return m_searchScrollView; }
    const id& searchBar() const { return m_searchBar; }
    long long pageState() const { return m_pageState; }

private:
    id m_todayViewController;
    id m_searchScrollView;
    id m_searchBar;
    long long m_pageState { SBRootFolderPageStateRegular };
};
