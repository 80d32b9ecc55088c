#pragma once
// SpringBoardApp: SpringBoard's start-up sequence, and the handle through which the
// simulated device and tests act on the running SpringBoard as a person would (tap,
// unlock, open an app, receive a notification). Every action goes through SpringBoard's
// own messages, so the replacements a loaded tweak installed take effect.
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
// "page-state-transition", "gesture-recognized", "view-controller-presented", ...), the
// actions below emit "lock-screen" {state: "shown" or "dismissed"}, "application-opened"
// {bundleIdentifier}, "search" {began}, "library-search" {began},
// "lock-screen-today-view" {shown} and "lock-screen-camera" {opened}.
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

    // Lock screen.
    bool isLocked() const;
    // Types the passcode on the lock screen: attemptUnlockWithPasscode:finishUIUnlock:YES
    // completion:nil. Answers what that method answered; when the device is then
    // unlocked, the lock screen goes away (isLocked tells).
    bool attemptUnlock(const std::string& passcode);
    // Locks the device and shows the lock screen again.
    void lock();
    // Taps the lock screen's scroll view `taps` times (UITapGestureRecognizer::tap).
    bool tapLockScreen(unsigned long long taps);

    // Home screen. Icons are named by bundle identifier.
    std::vector<std::vector<std::string>> iconPages() const;
    std::vector<std::string> dockIcons() const;
    // Taps the close box of the app's icon in jiggle mode (iconCloseBoxTapped: with an
    // SBIconView); NO when the home screen has no such icon.
    bool tapIconCloseBox(const std::string& bundleIdentifier);
    // Puts the app's icon (the one on the home screen, or a new one when there is none)
    // on a page, by one of SpringBoard's three ways; page == number of pages makes a new
    // page. Saves the layout when the list took the icon. Answers the list's answer (nil:
    // refused, or no such page).
    enum class IconPlacement { Place, Insert, Add };
    id putIcon(const std::string& bundleIdentifier, size_t page, unsigned long long index, IconPlacement how);
    // Lays out every view of SpringBoard's windows (layoutSubviews everywhere).
    void runLayoutPass();
    // Swipes right on the first page: asks the policy (_allowsCapabilityTodayView...),
    // the root folder view's _minusPageCount, then begins the page-state transition.
    // Answers whether the Today view is shown.
    bool showTodayView();
    // Swipes right on the lock screen (_allowsCapabilityLockScreenTodayView...).
    bool showLockScreenTodayView();
    // Swipes left on the lock screen (both lock-screen camera capabilities).
    bool openLockScreenCamera();
    // Pulls the home screen down: fires the search scroll view's pan recognizer, which
    // asks gestureRecognizerShouldBegin:. Answers whether search began.
    bool pullDownSearch();
    // Taps the App Library's search bar (searchBarShouldBeginEditing:); NO before iOS 14.
    bool beginAppLibrarySearch();
    // Swipes Control Centre open (_shouldAllowControlCenterGesture, presentAnimated:).
    bool openControlCenter();

    // Apps. Launching makes (or brings forward) the app's FBProcess, puts its card first
    // in the switcher, makes the home screen disappear and asks the process isForeground,
    // as SpringBoard does when an app comes to the front.
    id launchApplication(const std::string& bundleIdentifier, const std::string& executableName);
    // Sends isForeground to the app's process; NO when it does not run.
    bool isForeground(const std::string& bundleIdentifier);
    // Returns to the home screen: every app goes back, the home screen appears again.
    void goHome();
    bool terminateApplication(const std::string& bundleIdentifier);
    std::vector<std::string> switcherBundleIdentifiers() const;

    // Notifications: an app's notification reaches the bulletin board
    // (publishBulletin:destinations: with every destination).
    static constexpr unsigned long long allDestinations = 0xF;
    void publishBulletin(const std::string& sectionID, const std::string& title, const std::string& message);
    // The bulletins published so far (BBBulletin objects), oldest first.
    std::vector<id> publishedBulletins() const;

    // Alerts presented on SpringBoard's controllers.
    id presentedAlert() const;
    // Taps the presented alert's button of that title; NO when there is none.
    bool tapAlertButton(const std::string& title);

private:
    SpringBoardApp() = default;
    void run();
    void step(const char* name);
    void launchApplicationObject();
    void buildLockScreen();
    void buildStatusBar();
    void loadIconModel();
    void buildHomeScreen();
    void syncLockScreenWithManager();
    void setHomeScreenVisible(bool visible);
    bool allowsCapability(const char* selector) const;

    int m_iosMajor { 0 };
    id m_application;
    id m_lockScreenWindow;
    id m_coverSheetViewController;
    id m_statusBarWindow;
    id m_homeScreenWindow;
    id m_homeScreenViewController;
    id m_iconController;
};
