#include "SpringBoardCatalogue.h"

#include "BBBulletin.h"
#include "BBServer.h"
#include "CSAdjunctListView.h"
#include "CSCoverSheetViewController.h"
#include "CSNotificationAdjunctListViewController.h"
#include "CSScrollView.h"
#include "FBProcess.h"
#include "FBProcessManager.h"
#include "SBAppLayout.h"
#include "SBControlCenterController.h"
#include "SBDefaultIconModelStore.h"
#include "SBDisplayItem.h"
#include "SBHIconLibraryTableView.h"
#include "SBHLibrarySearchController.h"
#include "SBHLibraryViewController.h"
#include "SBHomeScreenViewController.h"
#include "SBIcon.h"
#include "SBIconController.h"
#include "SBIconListModel.h"
#include "SBIconModel.h"
#include "SBIconView.h"
#include "SBLockScreenManager.h"
#include "SBMainDisplayPolicyAggregator.h"
#include "SBMainSwitcherViewController.h"
#include "SBRootFolderView.h"
#include "SBSearchBar.h"
#include "SBSearchScrollView.h"
#include "SBTodayViewController.h"
#include "SpringBoard.h"
#include "SpringBoardApp.h"
#include "SpringBoardState.h"
#include "UIKit.h"
#include "WGWidgetListFooterView.h"
#include "WGWidgetWrapperView.h"

#include <fmt/format.h>

const std::vector<SpringBoardCatalogueEntry>& springBoardCatalogue()
{
    // What changed in SpringBoard between the simulated versions:
    // - iOS 13 moved the lock screen out of SpringBoard's "SBDashBoard" classes into the
    //   CoverSheet framework: SBDashBoardViewController and
    //   SBDashBoardNotificationAdjunctListViewController became CSCoverSheetViewController
    //   and CSNotificationAdjunctListViewController, and the lock screen's
    //   SBPagedScrollView became CSScrollView.
    // - iOS 14 brought the App Library (SpringBoardHome's SBHLibraryViewController, its
    //   search controller SBHLibrarySearchController and its list _SBHIconLibraryTableView).
    // - The app switcher's messages changed too (see SBMainSwitcherViewController.h); that
    //   is decided per method, not per class.
    // Everything else the product touches exists, under the same name, on 12, 13 and 14.
    // Superclasses come before their subclasses.
    static const std::vector<SpringBoardCatalogueEntry> catalogue {
        { "SpringBoard", "UIApplication", 12, 14, SpringBoard::declare },
        // The lock screen.
        { "SBDashBoardViewController", "UIViewController", 12, 12, CSCoverSheetViewController::declare },
        { "CSCoverSheetViewController", "UIViewController", 13, 14, CSCoverSheetViewController::declare },
        { "SBDashBoardAdjunctListView", "UIView", 12, 12, CSAdjunctListView::declare },
        { "CSAdjunctListView", "UIView", 13, 14, CSAdjunctListView::declare },
        { "SBDashBoardNotificationAdjunctListViewController", "UIViewController", 12, 12, CSNotificationAdjunctListViewController::declare },
        { "CSNotificationAdjunctListViewController", "UIViewController", 13, 14, CSNotificationAdjunctListViewController::declare },
        { "SBPagedScrollView", "UIScrollView", 12, 12, CSScrollView::declare },
        { "CSScrollView", "UIScrollView", 13, 14, CSScrollView::declare },
        { "SBLockScreenManager", "NSObject", 12, 14, SBLockScreenManager::declare },
        // The home screen.
        { "SBDefaultIconModelStore", "NSObject", 12, 14, SBDefaultIconModelStore::declare },
        { "SBIcon", "NSObject", 12, 14, SBIcon::declareIcon },
        { "SBLeafIcon", "SBIcon", 12, 14, SBIcon::declareLeafIcon },
        { "SBApplicationIcon", "SBLeafIcon", 12, 14, SBIcon::declareApplicationIcon },
        { "SBFolderIcon", "SBIcon", 12, 14, SBIcon::declareFolderIcon },
        { "SBIconListModel", "NSObject", 12, 14, SBIconListModel::declare },
        { "SBIconModel", "NSObject", 12, 14, SBIconModel::declare },
        { "SBIconView", "UIView", 12, 14, SBIconView::declare },
        { "SBTodayViewController", "UIViewController", 12, 14, SBTodayViewController::declare },
        { "WGWidgetWrapperView", "UIView", 12, 14, WGWidgetWrapperView::declare },
        { "WGWidgetListFooterView", "UIView", 12, 14, WGWidgetListFooterView::declare },
        { "SBSearchScrollView", "UIScrollView", 12, 14, SBSearchScrollView::declare },
        { "SBSearchBar", "UIView", 12, 14, SBSearchBar::declare },
        { "SBRootFolderView", "UIView", 12, 14, SBRootFolderView::declare },
        { "SBHLibrarySearchController", "UIViewController", 14, 14, SBHLibrarySearchController::declare },
        { "_SBHIconLibraryTableView", "UIScrollView", 14, 14, SBHIconLibraryTableView::declare },
        { "SBHLibraryViewController", "UIViewController", 14, 14, SBHLibraryViewController::declare },
        { "SBIconController", "UIViewController", 12, 14, SBIconController::declare },
        { "SBHomeScreenViewController", "UIViewController", 12, 14, SBHomeScreenViewController::declare },
        // What SpringBoard allows, Control Centre, apps, notifications, the switcher.
        { "SBMainDisplayPolicyAggregator", "NSObject", 12, 14, SBMainDisplayPolicyAggregator::declare },
        { "SBControlCenterController", "NSObject", 12, 14, SBControlCenterController::declare },
        { "FBProcess", "NSObject", 12, 14, FBProcess::declare },
        { "FBProcessManager", "NSObject", 12, 14, FBProcessManager::declare },
        { "BBBulletin", "NSObject", 12, 14, BBBulletin::declare },
        { "BBServer", "NSObject", 12, 14, BBServer::declare },
        { "SBDisplayItem", "NSObject", 12, 14, SBDisplayItem::declare },
        { "SBAppLayout", "NSObject", 12, 14, SBAppLayout::declare },
        { "SBMainSwitcherViewController", "UIViewController", 12, 14, SBMainSwitcherViewController::declare },
    };
    return catalogue;
}

void registerSpringBoardClasses(int iosMajor)
{
    if (iosMajor < 12 || iosMajor > 14)
        throw RuntimeError(fmt::format("registerSpringBoardClasses: iOS {} is not simulated (12, 13 and 14 are)", iosMajor));
    if (objc_getClass("SBIconController")) {
        int registered = SpringBoardState::shared().iosMajor;
        if (registered == iosMajor)
            return;
        throw RuntimeError(fmt::format("registerSpringBoardClasses: the classes of iOS {} are registered already; "
                                       "call objc_resetRuntimeForTesting() before registering iOS {}",
            registered, iosMajor));
    }
    registerUIKitClasses();
    SpringBoardApp::discard();
    SpringBoardState::reset(iosMajor);
    for (const auto& entry : springBoardCatalogue()) {
        if (!entry.existsOn(iosMajor))
            continue;
        ClassBuilder builder(entry.className, entry.superclassName);
        entry.declare(builder, iosMajor);
    }
}

int registeredSpringBoardVersion()
{
    return SpringBoardState::shared().iosMajor;
}
