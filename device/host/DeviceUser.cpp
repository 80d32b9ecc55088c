#include "DeviceUser.h"

#include "BBBulletin.h"
#include "FBProcessManager.h"
#include "SBIcon.h"
#include "SBIconModel.h"
#include "SBMainSwitcherViewController.h"
#include "SBRootFolderView.h"
#include "Trace.h"
#include "UIAlertController.h"
#include "UICollectionView.h"
#include "UIControl.h"
#include "UILabel.h"
#include "UIGestureRecognizer.h"
#include "UIKitSupport.h"
#include "UITapGestureRecognizer.h"

using UIKitSupport::allocInitWithFrame;

namespace {

template<class T>
T& as(const id& object, const char* typeName) { return UIKitSupport::objectAs<T>(object, typeName); }

} // namespace

bool DeviceUser::attemptUnlock(const std::string& passcode)
{
    bool answer = send<bool>(m_springBoard.lockScreenManager(), "attemptUnlockWithPasscode:finishUIUnlock:completion:", id(NSString::string(passcode)), true, nil);
    m_springBoard.syncLockScreen();
    return answer;
}

void DeviceUser::lock()
{
    send(m_springBoard.lockScreenManager(), "lockUIFromSource:withOptions:", 0LL, nil);
    m_springBoard.syncLockScreen();
}


bool DeviceUser::tapLockScreen(unsigned long long taps)
{
    return UITapGestureRecognizer::tap(m_springBoard.lockScreenScrollView(), taps);
}

namespace {

void collectionViewsBelow(const id& view, std::vector<id>& found)
{
    if (view.as<UICollectionView>())
        found.push_back(view);
    for (const auto& subview : UIView::from(view)->subviews())
        collectionViewsBelow(subview, found);
}

// The text of the first label at or below `view`.
std::string labelTextBelow(const id& view)
{
    if (view.as<UILabel>())
        return UIKitSupport::stringValue(send<id>(view, "text"));
    for (const auto& subview : UIView::from(view)->subviews()) {
        std::string text = labelTextBelow(subview);
        if (!text.empty())
            return text;
    }
    return {};
}

} // namespace

bool DeviceUser::tapLockScreenItem(const std::string& name, std::vector<std::string>* tappable)
{
    m_springBoard.runLayoutPass();
    std::vector<id> collections;
    collectionViewsBelow(m_springBoard.lockScreenWindow(), collections);
    for (const auto& collection : collections) {
        auto list = collection.as<UICollectionView>();
        for (const auto& cell : list->visibleCells()) {
            if (!UIView::from(cell)->receivesTouches())
                continue;
            std::string text = labelTextBelow(cell);
            if (text != name) {
                if (tappable)
                    tappable->push_back(text);
                continue;
            }
            return tapItem(collection, cell, name);
        }
    }
    return false;
}

bool DeviceUser::tapItem(const id& collectionView, const id& cell, const std::string& what)
{
    auto list = collectionView.as<UICollectionView>();
    id indexPath = list ? list->indexPathForCell(cell) : nil;
    if (!indexPath || !UIView::from(cell)->receivesTouches())
        return false;
    Trace::emit("tap", { { "view", object_getClassName(cell) }, { "what", what.empty() ? labelTextBelow(cell) : what } });
    list->selectItemAtIndexPath(indexPath);
    return true;
}

bool DeviceUser::tapButton(const id& button, const std::string& what)
{
    auto control = button.as<UIControl>();
    if (!control || !control->receivesTouches())
        return false;
    Trace::emit("tap", { { "view", object_getClassName(button) }, { "what", what } });
    control->sendActionsForControlEvents(UIControlEventTouchUpInside);
    return true;
}


bool DeviceUser::tapIconCloseBox(const std::string& bundleIdentifier)
{
    id icon = as<SBIconModel>(m_springBoard.iconModel(), "SBIconModel").applicationIcon(bundleIdentifier);
    if (!icon)
        return false;
    id iconView = allocInitWithFrame("SBIconView", CGRectZero);
    send(iconView, "setIcon:", icon);
    send(m_springBoard.iconController(), "iconCloseBoxTapped:", iconView);
    return true;
}

id DeviceUser::putIcon(const std::string& bundleIdentifier, size_t page, unsigned long long index, IconPlacement how)
{
    id model = m_springBoard.iconModel();
    auto& icons = as<SBIconModel>(model, "SBIconModel");
    id list = icons.page(page, true);
    if (!list)
        return nil;
    id icon = icons.applicationIcon(bundleIdentifier);
    if (!icon)
        icon = icons.knownApplicationIcon(bundleIdentifier);
    if (!icon)
        icon = SBIcon::applicationIcon(bundleIdentifier);
    id previousList = icons.listContaining(icon);
    id placed;
    switch (how) {
    case IconPlacement::Place:
        placed = send<id>(list, "placeIcon:atIndex:", icon, index);
        break;
    case IconPlacement::Insert:
        placed = send<id>(list, "insertIcon:atIndex:options:", icon, index, 0ULL);
        break;
    case IconPlacement::Add:
        placed = send<id>(list, "addIcon:asDirty:", icon, true);
        break;
    }
    if (!placed)
        return nil;
    if (previousList && previousList != list)
        send(previousList, "removeIcon:", icon);
    send<bool>(model, "saveIconState");
    return placed;
}


bool DeviceUser::showTodayView()
{
    if (!m_springBoard.allowsCapability("_allowsCapabilityTodayViewWithExplanation:"))
        return false;
    id folder = m_springBoard.rootFolderView();
    if (send<long long>(folder, "_minusPageCount") <= 0)
        return false;
    bool began = send<bool>(folder, "beginPageStateTransitionToState:animated:interactive:", static_cast<long long>(SBRootFolderPageStateTodayView), true, true);
    return began && send<long long>(folder, "pageState") == SBRootFolderPageStateTodayView;
}

bool DeviceUser::showLockScreenTodayView()
{
    bool shown = m_springBoard.isLocked() && m_springBoard.allowsCapability("_allowsCapabilityLockScreenTodayViewWithExplanation:");
    Trace::emit("lock-screen-today-view", { { "shown", shown ? "YES" : "NO" } });
    return shown;
}

bool DeviceUser::openLockScreenCamera()
{
    bool opened = m_springBoard.isLocked() && m_springBoard.allowsCapability("_allowsCapabilityLockScreenCameraSupportedWithExplanation:")
        && m_springBoard.allowsCapability("_allowsCapabilityLockScreenCameraWithExplanation:");
    Trace::emit("lock-screen-camera", { { "opened", opened ? "YES" : "NO" } });
    return opened;
}

bool DeviceUser::pullDownSearch()
{
    id pan = send<id>(m_springBoard.searchScrollView(), "panGestureRecognizer");
    bool began = UIGestureRecognizer::fire(pan);
    Trace::emit("search", { { "began", began ? "YES" : "NO" } });
    return began;
}

bool DeviceUser::beginAppLibrarySearch()
{
    id search = m_springBoard.librarySearchController();
    if (!search)
        return false;
    bool began = send<bool>(search, "searchBarShouldBeginEditing:", send<id>(search, "view"));
    Trace::emit("library-search", { { "began", began ? "YES" : "NO" } });
    return began;
}

bool DeviceUser::openControlCenter()
{
    id controlCenter = m_springBoard.controlCenterController();
    if (send<bool>(controlCenter, "_shouldAllowControlCenterGesture"))
        send(controlCenter, "presentAnimated:", true);
    return send<bool>(controlCenter, "isPresented");
}


id DeviceUser::launchApplication(const std::string& bundleIdentifier, const std::string& executableName)
{
    id process = as<FBProcessManager>(m_springBoard.processManager(), "FBProcessManager").launch(bundleIdentifier, executableName);
    as<SBMainSwitcherViewController>(m_springBoard.switcherController(), "SBMainSwitcherViewController").noteApplicationLaunched(bundleIdentifier);
    m_springBoard.setHomeScreenVisible(false);
    Trace::emit("application-opened", { { "bundleIdentifier", bundleIdentifier } });
    send<bool>(process, "isForeground");
    return process;
}


void DeviceUser::goHome()
{
    as<FBProcessManager>(m_springBoard.processManager(), "FBProcessManager").backgroundAll();
    m_springBoard.setHomeScreenVisible(true);
}


void DeviceUser::receiveNotification(const std::string& sectionID, const std::string& title, const std::string& message)
{
    send(m_springBoard.bulletinServer(), "publishBulletin:destinations:", BBBulletin::make(sectionID, title, message), SpringBoardApp::allDestinations);
}


bool DeviceUser::tapAlertButton(const std::string& title)
{
    id alert = m_springBoard.presentedAlert();
    return alert && UIAlertController::tapAction(alert, title);
}
