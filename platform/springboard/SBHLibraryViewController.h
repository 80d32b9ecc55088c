#pragma once
// SBHLibraryViewController (iOS 14): the App Library, the page right of the last home
// page. viewDidLoad makes its table of app groups (_SBHIconLibraryTableView, filling the
// view) and its search controller (SBHLibrarySearchController, a child controller whose
// view is the search bar at the top).

#include "UIViewController.h"

class SBHLibraryViewController : public UIViewController {
public:
    static void declare(ClassBuilder&, int iosMajor);

    const id& tableView() const { return m_tableView; }
    const id& searchController() const { return m_searchController; }

private:
    id m_tableView;
    id m_searchController;
};
