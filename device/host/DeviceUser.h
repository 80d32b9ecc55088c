#pragma once
// DeviceUser: a person's hands on the simulated device. Scenarios, tests and the device's
// control channel act on the running SpringBoard through it as a person would: type the
// passcode, press the side button, tap and swipe, open an app, go home; and the world's
// part, an app's notification arriving. Every action goes through SpringBoard's own
// messages, so the replacements a loaded tweak installed take effect.
//
// Besides the events of SpringBoard's classes, the actions emit "tap" {view, what} for a
// tapped button or item, "application-opened"
// {bundleIdentifier}, "search" {began}, "library-search" {began},
// "lock-screen-today-view" {shown} and "lock-screen-camera" {opened}.

#include "SpringBoardApp.h"

#include <string>
#include <vector>

class DeviceUser {
public:
    explicit DeviceUser(SpringBoardApp& springBoard) : m_springBoard(springBoard) { }

    // Lock screen.
    // Types the passcode on the lock screen: attemptUnlockWithPasscode:finishUIUnlock:YES
    // completion:nil. Answers what that method answered; when the device is then
    // unlocked, the lock screen goes away.
    bool attemptUnlock(const std::string& passcode);
    // The side button: locks the device and shows the lock screen again.
    void lock();
    // Taps the lock screen's scroll view `taps` times in a row. Answers whether a
    // recognizer took the taps.
    bool tapLockScreen(unsigned long long taps);
    // Taps the item of a collection view on the lock screen whose label reads `name` (an
    // account of the panel): the collection view tells its delegate the item was selected.
    // Only an item a touch reaches (UIView::receivesTouches) counts; NO when there is none,
    // with the names that can be tapped in `tappable`.
    bool tapLockScreenItem(const std::string& name, std::vector<std::string>* tappable = nullptr);
    // Taps a visible cell of a collection view: the collection view tells its delegate the
    // item was selected. NO when the cell is not one of its visible cells or a touch cannot
    // reach it. `what` names the item in the "tap" event (empty: the cell's first label).
    bool tapItem(const id& collectionView, const id& cell, const std::string& what = {});
    // Swipes right on the lock screen (_allowsCapabilityLockScreenTodayView...).
    bool showLockScreenTodayView();
    // Swipes left on the lock screen (both lock-screen camera capabilities).
    bool openLockScreenCamera();

    // Home screen. Icons are named by bundle identifier.
    // Taps the close box of the app's icon in jiggle mode (iconCloseBoxTapped: with an
    // SBIconView); NO when the home screen has no such icon.
    bool tapIconCloseBox(const std::string& bundleIdentifier);
    // Puts the app's icon (the one on the home screen, or a new one when there is none)
    // on a page, by one of SpringBoard's three ways; page == number of pages makes a new
    // page. Saves the layout when the list took the icon. Answers the list's answer (nil:
    // refused, or no such page).
    enum class IconPlacement { Place, Insert, Add };
    id putIcon(const std::string& bundleIdentifier, size_t page, unsigned long long index, IconPlacement how);
    // Swipes right on the first page: asks the policy (_allowsCapabilityTodayView...),
    // the root folder view's _minusPageCount, then begins the page-state transition.
    // Answers whether the Today view is shown.
    bool showTodayView();
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
    // Returns to the home screen: every app goes back, the home screen appears again.
    void goHome();

    // An app's notification reaches the bulletin board (publishBulletin:destinations:
    // with every destination).
    void receiveNotification(const std::string& sectionID, const std::string& title, const std::string& message);

    // Taps a button (touch up inside: its targets get their actions). NO, and nothing
    // happens, when a touch cannot reach it (hidden, transparent, off screen).
    // `what` names the button in the "tap" event.
    bool tapButton(const id& button, const std::string& what);

    // Taps the presented alert's button of that title; NO when there is none.
    bool tapAlertButton(const std::string& title);

private:
    SpringBoardApp& m_springBoard;
};
