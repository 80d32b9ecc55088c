#pragma once
// What the account switcher panel does: choosing an account (the confirmation alert and,
// on YES, guest mode started), the settings sheet swapped in and out, showing and hiding
// the panel on the lock screen, Respring and Logout. Instance methods of UserAccountView,
// added to the class by declareUserAccountView().
//
// The decisions are the pure functions below.

#include "ClassBuilder.h"
#include "NSObjectValues.h"

#include <string>

// The panel's two visible states, as the alphas of its parts.
enum class PanelFace { AccountList, SettingsSheet };
struct PanelAlphas {
    double collectionView;
    double settingButton;
    double settingView;
    bool operator==(const PanelAlphas&) const = default;
};
PanelAlphas panelAlphasFor(PanelFace face);

// The confirmation alert's message for an account name.
Id<NSString> confirmationMessageFor(const id& name);

// The account at a row of the list as it is now; nil when the list no longer has that row
// (the accounts were rebuilt with fewer entries while the alert was up).
id accountNameAt(const Id<NSArray>& accounts, long long row);

// The controller to present on: the key window's root controller, then whatever it
// presents, as far as the chain goes. nil without a key window or root controller.
id alertPresenter();

void declareUserAccountViewActions(ClassBuilder& builder);
