#include "SpringBoardApp.h"

#include "BBServer.h"
#include "CSCoverSheetViewController.h"
#include "FBProcessManager.h"
#include "LockScreenClasses.h"
#include "SBHLibraryViewController.h"
#include "SBIconController.h"
#include "SBIconListModel.h"
#include "SBIconModel.h"
#include "SBMainSwitcherViewController.h"
#include "SBRootFolderView.h"
#include "SpringBoardState.h"
#include "Trace.h"
#include "UIAlertController.h"
#include "UIKitState.h"
#include "UIKitSupport.h"
#include "UIScreen.h"
#include "UIScrollView.h"
#include "UIViewController.h"
#include "UIWindow.h"

using UIKitSupport::allocInit;
using UIKitSupport::allocInitWithFrame;
using UIKitSupport::objectAs;

namespace {

std::unique_ptr<SpringBoardApp>& currentApp()
{
    static auto* app = new std::unique_ptr<SpringBoardApp>;
    return *app;
}

constexpr double lockScreenWindowLevel = 1050;
constexpr double statusBarWindowLevel = 1000;
constexpr double phoneStatusBarHeight = 44;
constexpr double padStatusBarHeight = 24;

template<class T>
T& as(const id& object, const char* typeName) { return objectAs<T>(object, typeName); }

id shared(const char* className) { return SpringBoardState::sharedInstanceOf(className); }

} // namespace

SpringBoardApp& SpringBoardApp::launch()
{
    if (!objc_getClass("SBIconController"))
        throw RuntimeError("SpringBoardApp::launch: the SpringBoard classes are not registered (call registerSpringBoardClasses first)");
    currentApp().reset(new SpringBoardApp);
    SpringBoardApp& app = *currentApp();
    app.m_iosMajor = SpringBoardState::shared().iosMajor;
    app.run();
    return app;
}

SpringBoardApp* SpringBoardApp::current()
{
    return currentApp().get();
}

void SpringBoardApp::discard()
{
    currentApp().reset();
}

void SpringBoardApp::run()
{
    step("application");
    launchApplicationObject();
    step("lock-screen");
    buildLockScreen();
    step("status-bar");
    buildStatusBar();
    step("icon-model");
    loadIconModel();
    step("home-screen");
    buildHomeScreen();
    step("ready");
}

void SpringBoardApp::step(const char* name)
{
    Trace::emit("springboard-step", { { "step", name }, { "ios", std::to_string(m_iosMajor) } });
}

void SpringBoardApp::launchApplicationObject()
{
    // This process's application is the SpringBoard made now, not one of an earlier launch.
    UIKitState::shared().application = nil;
    m_application = allocInit("SpringBoard");
    send(m_application, "applicationDidFinishLaunching:", m_application);
}

void SpringBoardApp::buildLockScreen()
{
    send<id>(UIKitSupport::classNamed("SBLockScreenManager"), "sharedInstance");
    m_lockScreenWindow = allocInitWithFrame("UIWindow", UIScreen::mainScreenBounds());
    send(m_lockScreenWindow, "setWindowLevel:", lockScreenWindowLevel);
    m_coverSheetViewController = allocInit(LockScreenClasses::current().coverSheetViewController);
    send(m_lockScreenWindow, "setRootViewController:", m_coverSheetViewController);
    send(m_lockScreenWindow, "makeKeyAndVisible");
}

void SpringBoardApp::buildStatusBar()
{
    CGRect screen = UIScreen::mainScreenBounds();
    bool pad = send<long long>(send<id>(UIKitSupport::classNamed("UIDevice"), "currentDevice"), "userInterfaceIdiom") == 1;
    CGRect frame = CGRectMake(0, 0, screen.size.width, pad ? padStatusBarHeight : phoneStatusBarHeight);
    m_statusBarWindow = allocInitWithFrame("UIStatusBarWindow", frame);
    send(m_statusBarWindow, "setWindowLevel:", statusBarWindowLevel);
    send(m_statusBarWindow, "setStatusBar:", allocInitWithFrame("UIStatusBar", frame));
    send(m_statusBarWindow, "setHidden:", false);
}

void SpringBoardApp::loadIconModel()
{
    m_iconController = send<id>(UIKitSupport::classNamed("SBIconController"), "sharedInstance");
    send(send<id>(m_iconController, "model"), "loadAllIcons");
}

void SpringBoardApp::buildHomeScreen()
{
    m_homeScreenWindow = allocInitWithFrame("UIWindow", UIScreen::mainScreenBounds());
    m_homeScreenViewController = allocInit("SBHomeScreenViewController");
    send(m_homeScreenViewController, "addChildViewController:", m_iconController);
    id homeView = send<id>(m_homeScreenViewController, "view");
    id iconView = send<id>(m_iconController, "view");
    send(iconView, "setFrame:", send<CGRect>(homeView, "bounds"));
    send(homeView, "addSubview:", iconView);
    send(m_homeScreenWindow, "setRootViewController:", m_homeScreenViewController);
    send(m_homeScreenWindow, "setHidden:", false);
    runLayoutPass();
}

// Objects -------------------------------------------------------------------------------

id SpringBoardApp::adjunctListViewController() const
{
    return as<CSCoverSheetViewController>(m_coverSheetViewController, "CSCoverSheetViewController").adjunctListViewController();
}

id SpringBoardApp::lockScreenScrollView() const
{
    return as<CSCoverSheetViewController>(m_coverSheetViewController, "CSCoverSheetViewController").scrollView();
}

id SpringBoardApp::iconModel() const { return send<id>(m_iconController, "model"); }
id SpringBoardApp::rootFolderView() const { return as<SBIconController>(m_iconController, "SBIconController").rootFolderView(); }
id SpringBoardApp::todayViewController() const { return as<SBRootFolderView>(rootFolderView(), "SBRootFolderView").todayViewController(); }
id SpringBoardApp::searchScrollView() const { return as<SBRootFolderView>(rootFolderView(), "SBRootFolderView").searchScrollView(); }
id SpringBoardApp::searchBar() const { return as<SBRootFolderView>(rootFolderView(), "SBRootFolderView").searchBar(); }
id SpringBoardApp::libraryViewController() const { return as<SBIconController>(m_iconController, "SBIconController").libraryViewController(); }

id SpringBoardApp::librarySearchController() const
{
    id library = libraryViewController();
    return library ? as<SBHLibraryViewController>(library, "SBHLibraryViewController").searchController() : nil;
}

id SpringBoardApp::libraryTableView() const
{
    id library = libraryViewController();
    return library ? as<SBHLibraryViewController>(library, "SBHLibraryViewController").tableView() : nil;
}

id SpringBoardApp::lockScreenManager() const { return shared("SBLockScreenManager"); }
id SpringBoardApp::controlCenterController() const { return shared("SBControlCenterController"); }
id SpringBoardApp::bulletinServer() const { return shared("BBServer"); }
id SpringBoardApp::policyAggregator() const { return shared("SBMainDisplayPolicyAggregator"); }
id SpringBoardApp::switcherController() const { return shared("SBMainSwitcherViewController"); }
id SpringBoardApp::processManager() const { return shared("FBProcessManager"); }

// Lock screen ---------------------------------------------------------------------------

bool SpringBoardApp::isLocked() const
{
    return send<bool>(lockScreenManager(), "isUILocked");
}

void SpringBoardApp::syncLockScreen()
{
    bool locked = isLocked();
    bool shown = !send<bool>(m_lockScreenWindow, "isHidden");
    if (locked == shown)
        return;
    if (locked)
        send(m_lockScreenWindow, "makeKeyAndVisible");
    else
        send(m_lockScreenWindow, "setHidden:", true);
    Trace::emit("lock-screen", { { "state", locked ? "shown" : "dismissed" } });
}

// Home screen ---------------------------------------------------------------------------

std::vector<std::vector<std::string>> SpringBoardApp::iconPages() const
{
    std::vector<std::vector<std::string>> pages;
    for (const auto& page : as<SBIconModel>(iconModel(), "SBIconModel").pages())
        pages.push_back(page.as<SBIconListModel>()->bundleIdentifiers());
    return pages;
}

std::vector<std::string> SpringBoardApp::dockIcons() const
{
    id dock = as<SBIconModel>(iconModel(), "SBIconModel").dock();
    return dock ? dock.as<SBIconListModel>()->bundleIdentifiers() : std::vector<std::string>();
}

void SpringBoardApp::runLayoutPass()
{
    for (const id& window : { m_lockScreenWindow, m_statusBarWindow, m_homeScreenWindow }) {
        if (auto view = UIView::from(window)) {
            view->setNeedsLayoutRecursively();
            send(window, "layoutIfNeeded");
        }
    }
}

bool SpringBoardApp::allowsCapability(const char* selector) const
{
    id explanation;
    return send<bool>(policyAggregator(), selector, &explanation);
}

// Apps ------------------------------------------------------------------------------------

void SpringBoardApp::setHomeScreenVisible(bool visible)
{
    send(m_homeScreenViewController, "beginAppearanceTransition:animated:", visible, true);
    send(m_homeScreenViewController, "endAppearanceTransition");
}

bool SpringBoardApp::isForeground(const std::string& bundleIdentifier)
{
    return send<bool>(as<FBProcessManager>(processManager(), "FBProcessManager").process(bundleIdentifier), "isForeground");
}

bool SpringBoardApp::terminateApplication(const std::string& bundleIdentifier)
{
    return as<FBProcessManager>(processManager(), "FBProcessManager").terminate(bundleIdentifier, "killed");
}

std::vector<std::string> SpringBoardApp::switcherBundleIdentifiers() const
{
    return as<SBMainSwitcherViewController>(switcherController(), "SBMainSwitcherViewController").bundleIdentifiers();
}

// Notifications and alerts -----------------------------------------------------------------

std::vector<id> SpringBoardApp::publishedBulletins() const
{
    std::vector<id> bulletins;
    for (const auto& publication : as<BBServer>(bulletinServer(), "BBServer").published())
        bulletins.push_back(publication.bulletin);
    return bulletins;
}

id SpringBoardApp::presentedAlert() const
{
    // The lock screen covers the home screen while it is shown: its alert is the one in front.
    bool lockScreenShown = m_lockScreenWindow && !send<bool>(m_lockScreenWindow, "isHidden");
    for (const id& controller : { lockScreenShown ? m_coverSheetViewController : id(), m_iconController, m_homeScreenViewController }) {
        for (id presented = controller ? send<id>(controller, "presentedViewController") : nil; presented;
             presented = send<id>(presented, "presentedViewController")) {
            if (presented.as<UIAlertController>())
                return presented;
        }
    }
    return nil;
}
