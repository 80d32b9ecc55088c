#pragma once
// SpringBoardApp: SpringBoard's start-up sequence and the running SpringBoard's objects and
// state. What a person does to the device (tap, type the passcode, open an app) is the
// simulated device's (device/host/DeviceUser), through SpringBoard's own messages.
//
// The host calls, in this order: registerSpringBoardClasses(iosMajor) (before loading
// the tweak libraries, whose initialisers look the classes up), loads the tweaks, then
// SpringBoardApp::launch(). The sequence, each step announced by the Trace event
// "springboard-step" {step, ios}:
//   "application"  the SpringBoard application object; applicationDidFinishLaunching:
//   "lock-screen"  the lock-screen window and its controller (CSCoverSheetViewController
//                  or SBDashBoardViewController): the notification adjunct list loads
//                  (viewDidLoad), the lock screen's scroll view is made (initWithFrame:);
//                  the window is shown, the device is locked (SBLockScreenManager)
//   "status-bar"   the UIStatusBarWindow and its bar (setStatusBar:)
//   "icon-model"   SBIconController's model loads the layout (SBDefaultIconModelStore
//                  loadCurrentIconState:, the icons put into SBIconListModels)
//   "home-screen"  the home-screen window with SBHomeScreenViewController (the icon
//                  controller its child) is shown: SBIconController viewWillAppear:,
//                  SBHomeScreenViewController viewDidAppear:; then a layout pass
//   "ready"
// The home screen appears behind the lock screen at launch, as on the device.
//
// Besides the events of the classes themselves ("unlock-attempt", "bulletin-published",
// "process-launched", "switcher-layout-removed", "icon-deleted", "control-center",
// "page-state-transition", "gesture-recognized", "view-controller-presented", ...),
// syncLockScreen emits "lock-screen" {state: "shown" or "dismissed"}.
//
// Everything is main-thread only. A second launch() in the same process replaces the
// first SpringBoard (tests reset the runtime and register the classes before it).

#include "CoreGraphics.h"
#include "ClassBuilder.h"

#include <memory>
#include <string>
#include <vector>

class SpringBoardApp {
public:
    // Runs the start-up sequence. RuntimeError when the SpringBoard classes are not
    // registered.
    static SpringBoardApp& launch();
    // The SpringBoard launched last, or nullptr (also after the classes were registered
    // anew: its objects belong to the classes of before).
    static SpringBoardApp* current();
    static void discard();

    int iosMajor() const { return m_iosMajor; }

    // The objects of the running SpringBoard (nil where this version has none).
    const id& application() const { return m_application; }
    const id& lockScreenWindow() const { return m_lockScreenWindow; }
    const id& coverSheetViewController() const { return m_coverSheetViewController; }
    id adjunctListViewController() const;
    id lockScreenScrollView() const;
    const id& statusBarWindow() const { return m_statusBarWindow; }
    const id& homeScreenWindow() const { return m_homeScreenWindow; }
    const id& homeScreenViewController() const { return m_homeScreenViewController; }
    const id& iconController() const { return m_iconController; }
    id iconModel() const;
    id rootFolderView() const;
    id todayViewController() const;
    id searchScrollView() const;
    id searchBar() const;
    id libraryViewController() const;
    id librarySearchController() const;
    id libraryTableView() const;
    id lockScreenManager() const;
    id controlCenterController() const;
    id bulletinServer() const;
    id policyAggregator() const;
    id switcherController() const;
    id processManager() const;

    // Lock screen: whether the device is locked, and the lock screen shown to match (after
    // an unlock attempt or a lock, the lock screen goes away or comes back).
    bool isLocked() const;
    void syncLockScreen();

    // Home screen. Icons are named by bundle identifier.
    std::vector<std::vector<std::string>> iconPages() const;
    std::vector<std::string> dockIcons() const;
    // Lays out every view of SpringBoard's windows (layoutSubviews everywhere).
    void runLayoutPass();
    // The home screen appears (or disappears) as an app leaves (or comes to) the front.
    void setHomeScreenVisible(bool visible);
    // Asks a policy capability query (…WithExplanation:).
    bool allowsCapability(const char* selector) const;

    // Apps: sends isForeground to the app's process; NO when it does not run.
    bool isForeground(const std::string& bundleIdentifier);
    bool terminateApplication(const std::string& bundleIdentifier);
    std::vector<std::string> switcherBundleIdentifiers() const;

    // Notifications: every destination of publishBulletin:destinations:.
    static constexpr unsigned long long allDestinations = 0xF;
    // The bulletins published so far (BBBulletin objects), oldest first.
    std::vector<id> publishedBulletins() const;

    // The alert a person sees, if any: the one presented on the lock screen while it is
    // shown, else one presented on the home screen's controllers.
    id presentedAlert() const;

private:
    SpringBoardApp() = default;
    void run();
    void step(const char* name);
    void launchApplicationObject();
    void buildLockScreen();
    void buildStatusBar();
    void loadIconModel();
    void buildHomeScreen();

    int m_iosMajor { 0 };
    id m_application;
    id m_lockScreenWindow;
    id m_coverSheetViewController;
    id m_statusBarWindow;
    id m_homeScreenWindow;
    id m_homeScreenViewController;
    id m_iconController;
};
