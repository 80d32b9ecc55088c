#include "UserAccountView.h"

#include "DictionaryFileFields.h"
#include "Dispatch.h"
#include "MainInitialiser.h"
#include "NSNotificationCenter.h"
#include "ObjectProperties.h"
#include "ProfileStore.h"
#include "UIGeometry.h"
#include "UserAccountViewActions.h"

Id<HBPreferences> panelSettings;
bool panelKavlorActive;

float selfHeight;
float accountHeight;
float spacing;
float buttonSize;
float cornerRadius;
float fontSize;
float iconInset;
Id<NSArray> accountArray;
Id<NSArray> accountImgArray;

namespace {

constexpr const char* kImageFolder = "/Library/Application Support/Kavlor.bundle/Assets/Actions/";
constexpr const char* kCellIdentifier = "Cell";
constexpr double kPanelCornerRadius = 15;
constexpr double kStripBottomInset = 25;
constexpr double kSmallButtonSize = 30;
constexpr double kSmallButtonCornerRadius = 15;
constexpr double kSmallButtonInset = 2;
constexpr double kSmallButtonMargin = 5;
constexpr double kButtonsAboveCentre = 5;
constexpr double kCaptionBelowButton = 5;
constexpr double kItemSize = 90;
constexpr double kAvatarBorderWidth = 1.5;
constexpr long long kTemplateRendering = 2;
constexpr unsigned long long kTouchUpInside = 64;
constexpr unsigned long long kFlexibleWidthAndHeight = 18;
constexpr long long kHorizontal = 1;
constexpr long long kCentredText = 1;

// --- small helpers over messages ---------------------------------------------------------

Class cls(const char* name) { return objc_getClass(name); }
id colour(const char* selector) { return send<id>(cls("UIColor"), selector); }
id newView(const char* className) { return send<id>(send<id>(cls(className), "alloc"), "initWithFrame:", CGRectZero); }
id anchor(const id& view, const char* name) { return send<id>(view, name); }

void pin(const id& view, const char* viewAnchor, const id& other, const char* otherAnchor, double constant)
{
    send(send<id>(anchor(view, viewAnchor), "constraintEqualToAnchor:constant:", anchor(other, otherAnchor), constant), "setActive:", true);
}

void fixSize(const id& view, double width, double height)
{
    send(send<id>(anchor(view, "widthAnchor"), "constraintEqualToConstant:", width), "setActive:", true);
    send(send<id>(anchor(view, "heightAnchor"), "constraintEqualToConstant:", height), "setActive:", true);
}

void pinToEdges(const id& view, const id& container)
{
    for (const char* edge : { "topAnchor", "leadingAnchor", "trailingAnchor", "bottomAnchor" })
        pin(view, edge, container, edge, 0);
}

id templateImage(const char* fileName)
{
    id image = send<id>(cls("UIImage"), "imageWithContentsOfFile:", NSString::string(std::string(kImageFolder) + fileName));
    return send<id>(image, "imageWithRenderingMode:", kTemplateRendering);
}

// A button of the panel: the theme's button colour behind the theme's image colour.
id makeButton(const id& panel, const char* imageFile, const char* action, double radius, double inset, const id& container)
{
    id button = newView("UIButton");
    send(button, "setBackgroundColor:", colour("kavButtonColor"));
    send(button, "setTintColor:", colour("kavImageColor"));
    send(button, "setImage:forState:", templateImage(imageFile), 0ULL);
    send(button, "setImageEdgeInsets:", UIEdgeInsetsMake(inset, inset, inset, inset));
    send(send<id>(button, "layer"), "setCornerRadius:", radius);
    send(button, "addTarget:action:forControlEvents:", panel, sel(action), kTouchUpInside);
    send(container, "addSubview:", button);
    send(button, "setTranslatesAutoresizingMaskIntoConstraints:", false);
    return button;
}

// The settings and dismiss buttons: 30 by 30 in the container's top trailing corner.
id makeCornerButton(const id& panel, const char* imageFile, const char* action, const id& container)
{
    id button = makeButton(panel, imageFile, action, kSmallButtonCornerRadius, kSmallButtonInset, container);
    fixSize(button, kSmallButtonSize, kSmallButtonSize);
    pin(button, "topAnchor", container, "topAnchor", kSmallButtonMargin);
    pin(button, "trailingAnchor", container, "trailingAnchor", -kSmallButtonMargin);
    return button;
}

// The Respring, Logout and Hide buttons: `buttonSize` square, 5 above the sheet's centre.
id makeSheetButton(const id& panel, const char* imageFile, const char* action, const id& sheet)
{
    id button = makeButton(panel, imageFile, action, cornerRadius, iconInset, sheet);
    fixSize(button, buttonSize, buttonSize);
    return button;
}

id makeCaption(const char* text, const id& button, const id& sheet)
{
    id label = newView("UILabel");
    send(label, "setTextAlignment:", kCentredText);
    send(label, "setFont:", send<id>(cls("UIFont"), "systemFontOfSize:", static_cast<double>(fontSize)));
    send(label, "setTextColor:", colour("kavFontColor"));
    send(label, "setText:", NSString::string(text));
    send(sheet, "addSubview:", label);
    send(label, "setTranslatesAutoresizingMaskIntoConstraints:", false);
    pin(label, "centerXAnchor", button, "centerXAnchor", 0);
    pin(label, "topAnchor", button, "bottomAnchor", kCaptionBelowButton);
    return label;
}

UserAccountView& panelOf(const id& self) { return *self.as<UserAccountView>(); }

// --- the steps of init -----------------------------------------------------------------

// A repeated init starts from an empty panel: the previous content goes (and with it
// every constraint tying it to the panel), and so does the previous height.
void removePreviousContent(UserAccountView& panel)
{
    send(panel.baseView, "removeFromSuperview");
    send(panel.heightConstraint, "setActive:", false);
    panel.heightConstraint = nil;
}

void setPanelAttributes(const id& self)
{
    send(self, "setAlpha:", 1.0);
    send(self, "setClipsToBounds:", true);
    send(self, "setHidden:", false);
    send(send<id>(self, "layer"), "setCornerRadius:", kPanelCornerRadius);
    send(self, "setTranslatesAutoresizingMaskIntoConstraints:", false);
    send(self, "setBackgroundColor:", colour("clearColor"));
    send(self, "setUserInteractionEnabled:", true);
}

void chooseMetrics()
{
    PanelMetrics metrics = panelMetricsFor(deviceIsPad(send<id>(cls("UIDevice"), "currentDevice")));
    selfHeight = metrics.selfHeight;
    accountHeight = metrics.accountHeight;
    spacing = metrics.spacing;
    buttonSize = metrics.buttonSize;
    cornerRadius = metrics.cornerRadius;
    fontSize = metrics.fontSize;
    iconInset = metrics.iconInset;
}

void buildBaseView(const id& self)
{
    id base = newView("BlurBaseView");
    send(base, "setTranslatesAutoresizingMaskIntoConstraints:", false);
    send(base, "setClipsToBounds:", true);
    send(send<id>(base, "layer"), "setCornerRadius:", kPanelCornerRadius);
    send(self, "addSubview:", base);
    pin(base, "topAnchor", self, "topAnchor", 0);
    pin(base, "leadingAnchor", self, "leadingAnchor", 0);
    pin(base, "trailingAnchor", self, "trailingAnchor", 0);
    pin(base, "bottomAnchor", self, "bottomAnchor", -kStripBottomInset);
    send(self, "setBaseView:", base);
}

void loadAccountLists()
{
    // The panel shows each account's name and avatar and nothing else of the records: at
    // each start those are read from what the last start kept, not from the whole file
    // with every account's wallpaper, unless the file changed since.
    static DictionaryFileFields accounts(KavlorSchema::kUserDataPath,
        { KavlorSchema::RecordKey::userName, KavlorSchema::RecordKey::profileIcon });
    AccountLists lists = accountListsFrom(accounts.entries());
    accountArray = NSArray::mutableArray(lists.names);
    accountImgArray = NSArray::mutableArray(lists.images);
}

void buildCollectionView(const id& self)
{
    id base = send<id>(self, "baseView");
    id layout = send<id>(send<id>(cls("UICollectionViewFlowLayout"), "alloc"), "init");
    send(layout, "setScrollDirection:", kHorizontal);
    id collection = send<id>(send<id>(cls("UICollectionView"), "alloc"), "initWithFrame:collectionViewLayout:", CGRectZero, layout);
    send(collection, "setBackgroundColor:", colour("clearColor"));
    send(collection, "registerClass:forCellWithReuseIdentifier:", cls("UserAccountCell"), NSString::string(kCellIdentifier));
    send(collection, "setTranslatesAutoresizingMaskIntoConstraints:", false);
    send(collection, "setAutoresizingMask:", kFlexibleWidthAndHeight);
    send(collection, "setShowsHorizontalScrollIndicator:", false);
    send(collection, "setShowsVerticalScrollIndicator:", false);
    send(base, "addSubview:", collection);
    send(collection, "setDelegate:", self);
    send(collection, "setDataSource:", self);
    id settingButton = send<id>(self, "settingButton");
    pin(collection, "topAnchor", base, "topAnchor", 0);
    pin(collection, "leadingAnchor", base, "leadingAnchor", 0);
    pin(collection, "trailingAnchor", settingButton, "leadingAnchor", 0);
    pin(collection, "bottomAnchor", base, "bottomAnchor", 0);
    send(self, "setCollectionView:", collection);
}

void layoutSettings(const id& self)
{
    id base = send<id>(self, "baseView");
    id sheet = newView("UIView");
    send(sheet, "setBackgroundColor:", colour("clearColor"));
    send(sheet, "setAlpha:", 0.0);
    send(base, "addSubview:", sheet);
    send(sheet, "setTranslatesAutoresizingMaskIntoConstraints:", false);
    pinToEdges(sheet, base);
    send(self, "setSettingView:", sheet);

    send(self, "setDismissButton:", makeCornerButton(self, "close.png", "dismissAction", sheet));

    id respring = makeSheetButton(self, "respring.png", "respringAction", sheet);
    pin(respring, "centerXAnchor", sheet, "centerXAnchor", 0);
    pin(respring, "centerYAnchor", sheet, "centerYAnchor", -kButtonsAboveCentre);
    send(self, "setRespringButton:", respring);
    send(self, "setRespringLabel:", makeCaption("Respring", respring, sheet));

    id logout = makeSheetButton(self, "logout.png", "logoutAction", sheet);
    pin(logout, "trailingAnchor", respring, "leadingAnchor", -static_cast<double>(spacing));
    pin(logout, "centerYAnchor", sheet, "centerYAnchor", -kButtonsAboveCentre);
    send(self, "setLogoutButton:", logout);
    send(self, "setLogoutLabel:", makeCaption("Logout", logout, sheet));

    id hide = makeSheetButton(self, "hide.png", "hideAction", sheet);
    pin(hide, "leadingAnchor", respring, "trailingAnchor", static_cast<double>(spacing));
    pin(hide, "centerYAnchor", sheet, "centerYAnchor", -kButtonsAboveCentre);
    send(self, "setHideButton:", hide);
    send(self, "setHideLabel:", makeCaption("Hide", hide, sheet));
}

id initPanel(id self, SEL)
{
    self = sendSuper<id>(cls("UserAccountView"), self, "init");
    if (!self)
        return nil;
    UserAccountView& panel = panelOf(self);
    removePreviousContent(panel);
    setPanelAttributes(self);
    chooseMetrics();
    buildBaseView(self);
    send(self, "setSettingButton:", makeCornerButton(self, "settings.png", "settingAction", send<id>(self, "baseView")));
    loadAccountLists();
    buildCollectionView(self);
    send(self, "layoutSettings");
    id height = send<id>(anchor(self, "heightAnchor"), "constraintEqualToConstant:", static_cast<double>(selfHeight));
    send(height, "setActive:", true);
    panel.heightConstraint = height;
    if (!panel.observesShowNotification) {
        NSNotificationCenter::defaultCenter()->addObserver(self, sel("receiveVisibleNotification:"), NSString::string(KavlorSchema::kShowUserAccountNotification), nil);
        panel.observesShowNotification = true;
    }
    return self;
}

// --- data source -----------------------------------------------------------------------

id cellForItem(id, SEL, id collection, id indexPath)
{
    id cell = send<id>(collection, "dequeueReusableCellWithReuseIdentifier:forIndexPath:", NSString::string(kCellIdentifier), indexPath);
    send(cell, "setBackgroundColor:", colour("clearColor"));
    auto row = static_cast<unsigned long long>(send<long long>(indexPath, "item"));
    id avatar = send<id>(cell, "avatarImage");
    send(avatar, "setImage:", send<id>(cls("UIImage"), "imageWithData:", accountImgArray ? accountImgArray->objectAtIndex(row) : nil));
    send(send<id>(avatar, "layer"), "setBorderWidth:", kAvatarBorderWidth);
    id user = panelSettings ? panelSettings->objectForKey(KavlorSchema::Key::activeUser) : nil;
    auto name = (accountArray ? accountArray->objectAtIndex(row) : nil).as<NSString>();
    CellContent content = cellContentFor(name ? name->utf8() : std::string(), panelKavlorActive, user);
    send(send<id>(cell, "usernameLabel"), "setText:", NSString::string(content.text));
    id border = colour(content.greenBorder ? "systemGreenColor" : "clearColor");
    send(send<id>(avatar, "layer"), "setBorderColor:", send<id>(border, "CGColor"));
    return cell;
}

void recolourButtons(id self, SEL, id)
{
    static const char* const buttons[] = { "settingButton", "dismissButton", "respringButton", "logoutButton", "hideButton" };
    for (const char* button : buttons)
        send(send<id>(self, button), "setBackgroundColor:", colour("kavButtonColor"));
    for (const char* button : buttons)
        send(send<id>(self, button), "setTintColor:", colour("kavImageColor"));
}

} // namespace

PanelMetrics panelMetricsFor(bool pad)
{
    if (pad)
        return { 150, 125, 80, 70, 35, 12, 15 };
    return { 125, 100, 35, 50, 25, 8, 12 };
}

bool deviceIsPad(const id& device)
{
    return respondsToSelector(device, "userInterfaceIdiom") && send<long long>(device, "userInterfaceIdiom") == 1;
}

AccountLists accountListsFrom(const Id<NSDictionary>& userData)
{
    AccountLists lists;
    if (!userData)
        return lists;
    for (const auto& [key, value] : userData->entries()) {
        auto record = value.as<NSDictionary>();
        auto name = record ? record->valueForKey<NSString>(KavlorSchema::RecordKey::userName) : nullptr;
        auto icon = record ? record->valueForKey<NSData>(KavlorSchema::RecordKey::profileIcon) : nullptr;
        if (!name || !icon)
            continue;
        lists.images.push_back(icon);
        lists.names.push_back(name);
    }
    return lists;
}

CellContent cellContentFor(std::string_view name, bool guestModeOn, const id& activeUser)
{
    auto active = activeUser.as<NSString>();
    if (guestModeOn && active && active->isEqualToString(name))
        return { "Active", true, kAvatarBorderWidth };
    return { std::string(name), false, kAvatarBorderWidth };
}

void declareUserAccountView()
{
    ClassBuilder builder("UserAccountView", "UIView");
    builder.instancesOf<UserAccountView>();
    declareObjectProperty<UserAccountView, &UserAccountView::baseView>(builder, "baseView", "setBaseView:");
    declareObjectProperty<UserAccountView, &UserAccountView::collectionView>(builder, "collectionView", "setCollectionView:");
    declareObjectProperty<UserAccountView, &UserAccountView::settingView>(builder, "settingView", "setSettingView:");
    declareObjectProperty<UserAccountView, &UserAccountView::settingButton>(builder, "settingButton", "setSettingButton:");
    declareObjectProperty<UserAccountView, &UserAccountView::dismissButton>(builder, "dismissButton", "setDismissButton:");
    declareObjectProperty<UserAccountView, &UserAccountView::logoutButton>(builder, "logoutButton", "setLogoutButton:");
    declareObjectProperty<UserAccountView, &UserAccountView::respringButton>(builder, "respringButton", "setRespringButton:");
    declareObjectProperty<UserAccountView, &UserAccountView::hideButton>(builder, "hideButton", "setHideButton:");
    declareObjectProperty<UserAccountView, &UserAccountView::logoutLabel>(builder, "logoutLabel", "setLogoutLabel:");
    declareObjectProperty<UserAccountView, &UserAccountView::respringLabel>(builder, "respringLabel", "setRespringLabel:");
    declareObjectProperty<UserAccountView, &UserAccountView::hideLabel>(builder, "hideLabel", "setHideLabel:");
    builder
        .classMethod("sharedInstance", [](id, SEL) -> id {
            static dispatch_once_t once;
            static id shared;
            dispatch_once(&once, [] { shared = send<id>(cls("UserAccountView"), "alloc"); });
            return shared;
        })
        .method("sizeToMimic", [](id self, SEL) -> CGSize { return panelOf(self).sizeToMimic; })
        .method("setSizeToMimic:", [](id self, SEL, CGSize size) { panelOf(self).sizeToMimic = size; })
        .method("init", initPanel)
        .method("layoutSettings", [](id self, SEL) { layoutSettings(self); })
        .method("collectionView:numberOfItemsInSection:", [](id, SEL, id, long long) -> long long {
            return accountArray ? static_cast<long long>(accountArray->count()) : 0;
        })
        .method("collectionView:layout:sizeForItemAtIndexPath:", [](id, SEL, id, id, id) -> CGSize { return { kItemSize, kItemSize }; })
        .method("collectionView:cellForItemAtIndexPath:", cellForItem)
        .method("traitCollectionDidChange:", recolourButtons);
    declareUserAccountViewActions(builder);
}

void panelSettingsInitialiser()
{
    panelSettings = HBPreferences::alloc()->initWithIdentifier(KavlorSchema::kSettingsDomain);
    panelSettings->registerBool(&panelKavlorActive, NO, KavlorSchema::Key::isKavlorActive);
}
