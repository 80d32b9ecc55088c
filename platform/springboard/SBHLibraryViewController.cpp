#include "SBHLibraryViewController.h"

#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

constexpr double margin = 8;
constexpr double searchBarHeight = 36;

} // namespace

void SBHLibraryViewController::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBHLibraryViewController>().method("viewDidLoad", [](id self, SEL) {
        sendSuper(UIKitSupport::classNamed("SBHLibraryViewController"), self, "viewDidLoad");
        auto& library = objectAs<SBHLibraryViewController>(self, "SBHLibraryViewController");
        id view = send<id>(self, "view");
        CGRect bounds = send<CGRect>(view, "bounds");
        library.m_tableView = UIKitSupport::allocInitWithFrame("_SBHIconLibraryTableView", bounds);
        send(view, "addSubview:", library.m_tableView);
        library.m_searchController = UIKitSupport::allocInit("SBHLibrarySearchController");
        send(self, "addChildViewController:", library.m_searchController);
        id searchBar = send<id>(library.m_searchController, "view");
        send(searchBar, "setFrame:", CGRectMake(margin, margin, bounds.size.width - 2 * margin, searchBarHeight));
        send(view, "addSubview:", searchBar);
    });
}
