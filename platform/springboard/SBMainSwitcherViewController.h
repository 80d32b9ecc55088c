#pragma once
// SBMainSwitcherViewController: the app switcher (sharedInstance), its cards (app
// layouts) most recent first. Launching an app puts its card first.
//
// The messages differ by version, as SpringBoard's did:
//   iOS 12:      appLayouts "@@:"
//   iOS 13, 14:  recentAppLayouts "@@:", _deleteAppLayout:forReason: "v@:@q"
//   iOS 14:      _deleteAppLayoutsMatchingBundleIdentifier: "v@:@"
//   all:         _quitAppsRepresentedByAppLayout:forReason: "v@:@q"
// Deleting a card or quitting its apps removes the card and ends its apps' processes;
// each removal emits "switcher-layout-removed" {bundleIdentifier, reason, how}.

#include "UIViewController.h"

#include <string>
#include <vector>

class SBMainSwitcherViewController : public UIViewController {
public:
    static void declare(ClassBuilder&, int iosMajor);

    const std::vector<id>& appLayouts() const { return m_appLayouts; }
    // Puts the app's card first, making it if there is none.
    void noteApplicationLaunched(const std::string& bundleIdentifier);
    void removeLayout(const id& layout, long long reason, const char* how);
    void removeLayoutsOfApplication(const std::string& bundleIdentifier);
    // The first item's bundle identifier of each card, most recent first.
    std::vector<std::string> bundleIdentifiers() const;

private:
    std::vector<id> m_appLayouts;
};
