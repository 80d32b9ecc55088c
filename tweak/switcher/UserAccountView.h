#pragma once
// The account switcher panel: a blurred strip with one avatar and name per account of
// the user-data file, a settings button in its top trailing corner and, behind it, a
// settings sheet with the Respring, Logout and Hide buttons. One shared UserAccountView
// (sharedInstance); every `init` builds its content anew on that object: the content of
// the previous `init` is taken out first, and the panel observes
// "ShowUserAccountNotification" once, however often it is built.
//
// Its settings object, made when the library loads, binds isKavlorActive for the cells
// and is where the panel reads activeUser and writes hideLSAccount; choosing a guest
// replaces it with a fresh object.
//
// The decisions (metrics by device kind, the account lists, what a cell shows) are the
// pure functions below; the class is declared in the runtime by declareUserAccountView().

#include "HBPreferences.h"
#include "UIView.h"

#include <string_view>
#include <vector>

extern Id<HBPreferences> panelSettings;
extern bool panelKavlorActive; // isKavlorActive, bound in panelSettings

// The panel metrics, chosen at every init.
extern float selfHeight;
extern float accountHeight;
extern float spacing;
extern float buttonSize;
extern float cornerRadius;
extern float fontSize;
extern float iconInset;
// The accounts the panel lists, parallel: index i of both is the same account.
extern Id<NSArray> accountArray;    // names (mutable)
extern Id<NSArray> accountImgArray; // avatar image data (mutable)

struct PanelMetrics {
    float selfHeight;
    float accountHeight;
    float spacing;
    float buttonSize;
    float cornerRadius;
    float fontSize;
    float iconInset;
};
PanelMetrics panelMetricsFor(bool pad);
// A pad is a device that answers userInterfaceIdiom with 1; anything else is a phone.
bool deviceIsPad(const id& device);

// The user-data file's records in the file's key order; a record without a UserName
// string or a profileIcon data is skipped, so the two lists stay parallel.
struct AccountLists {
    std::vector<id> names;
    std::vector<id> images;
};
AccountLists accountListsFrom(const Id<NSDictionary>& userData);

// What a cell shows: the active guest's cell reads "Active" with a green border, every
// other cell its name with a clear border; the border is always 1.5 wide.
struct CellContent {
    std::string text;
    bool greenBorder;
    double borderWidth;
};
CellContent cellContentFor(std::string_view name, bool guestModeOn, const id& activeUser);

class UserAccountView : public UIView {
public:
    id baseView;
    id collectionView;
    CGSize sizeToMimic {};
    id settingView;
    id settingButton;
    id dismissButton;
    id logoutButton;
    id respringButton;
    id hideButton;
    id logoutLabel;
    id respringLabel;
    id hideLabel;
    // What a repeated init must undo: its own height constraint, and whether the panel
    // observes "ShowUserAccountNotification" already.
    id heightConstraint;
    bool observesShowNotification { false };
};

void declareUserAccountView();
