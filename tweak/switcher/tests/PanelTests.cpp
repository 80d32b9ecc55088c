#include "BlurBaseView.h"
#include "MainInitialiser.h"
#include "NSProcessInfo.h"
#include "SystemLog.h"
#include "ThemeColours.h"
#include "TweakTestEnvironment.h"
#include "UIKit.h"
#include "UIKitSupport.h"
#include "UIKitState.h"
#include "UserAccountCell.h"
#include "UserAccountView.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// --- the decisions ---------------------------------------------------------------------

TEST(PanelDecisionTest, MetricsByDeviceKind)
{
    PanelMetrics phone = panelMetricsFor(false);
    PanelMetrics pad = panelMetricsFor(true);
    EXPECT_EQ((std::vector<float> { phone.selfHeight, phone.accountHeight, phone.spacing, phone.buttonSize, phone.cornerRadius, phone.fontSize, phone.iconInset }),
        (std::vector<float> { 125, 100, 35, 50, 25, 8, 12 }));
    EXPECT_EQ((std::vector<float> { pad.selfHeight, pad.accountHeight, pad.spacing, pad.buttonSize, pad.cornerRadius, pad.fontSize, pad.iconInset }),
        (std::vector<float> { 150, 125, 80, 70, 35, 12, 15 }));
}

TEST(PanelDecisionTest, AccountListsKeepTheFileOrderAndStayParallel)
{
    auto record = [](const char* name, bool withIcon) {
        auto entry = NSDictionary::mutableDictionary({ { "UserName", NSString::string(name) } });
        if (withIcon)
            entry->setObject(NSData::data({ 7 }), "profileIcon");
        return entry;
    };
    auto file = NSDictionary::dictionary({
        { "Zed", record("Zed", true) },
        { "NoIcon", record("NoIcon", false) },
        { "Admin", record("Admin", true) },
        { "Odd", "not a record"_ns },
        { "Anna", record("Anna", true) },
    });
    AccountLists lists = accountListsFrom(file);
    ASSERT_EQ(lists.names.size(), 3u);
    ASSERT_EQ(lists.images.size(), 3u);
    EXPECT_TRUE(lists.names[0].as<NSString>()->isEqualToString("Zed"));
    EXPECT_TRUE(lists.names[1].as<NSString>()->isEqualToString("Admin"));
    EXPECT_TRUE(lists.names[2].as<NSString>()->isEqualToString("Anna"));
    EXPECT_TRUE(accountListsFrom(nullptr).names.empty());
}

TEST(PanelDecisionTest, OnlyTheActiveGuestsCellReadsActive)
{
    CellContent active = cellContentFor("Mira", true, "Mira"_ns);
    EXPECT_EQ(active.text, "Active");
    EXPECT_TRUE(active.greenBorder);
    EXPECT_EQ(active.borderWidth, 1.5);
    for (auto [guestMode, user] : std::vector<std::pair<bool, id>> { { false, "Mira"_ns }, { true, "mira"_ns }, { true, nil }, { true, "Otto"_ns } }) {
        CellContent other = cellContentFor("Mira", guestMode, user);
        EXPECT_EQ(other.text, "Mira");
        EXPECT_FALSE(other.greenBorder);
        EXPECT_EQ(other.borderWidth, 1.5);
    }
}

TEST(PanelDecisionTest, TheBlurIsDarkOnlyOnIOS13InTheDarkAndCustomColoursHideIt)
{
    EXPECT_EQ(blurStyleFor(true, true), 2);
    EXPECT_EQ(blurStyleFor(true, false), 1);
    EXPECT_EQ(blurStyleFor(false, true), 1);
    EXPECT_TRUE(blurRule(false, false, true).hideBlurForCustomBackground);
    EXPECT_FALSE(blurRule(true, true, false).hideBlurForCustomBackground);
}

// --- the panel on a simulated device ----------------------------------------------------

class PanelTest : public TweakTestEnvironment {
protected:
    void SetUp() override
    {
        TweakTestEnvironment::SetUp();
        static bool declared = false;
        if (!declared) {
            declareThemeColourCategories();
            declareBlurBaseView();
            declareUserAccountCell();
            declareUserAccountView();
            declared = true;
        }
        std::filesystem::path icons = m_root / "Library/Application Support/Kavlor.bundle/Assets/Actions";
        std::filesystem::create_directories(icons);
        for (const auto& file : std::filesystem::directory_iterator(KAVLOR_ACTION_ICONS))
            std::filesystem::copy_file(file.path(), icons / file.path().filename());
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion { 14, 4, 0 });
        useDevice("phone");
        colourSettingsInitialiser();
        blurViewSettingsInitialiser();
        panelSettingsInitialiser();
    }
    void TearDown() override
    {
        m_window = nil;
        colourSettings = nullptr;
        blurViewSettings = nullptr;
        panelSettings = nullptr;
        colourCustomChromaEnabled = blurCustomChromaEnabled = panelKavlorActive = false;
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        UIKitState::reset();
        TweakTestEnvironment::TearDown();
    }

    void useDevice(const char* idiom)
    {
        PropertyList::writeFile("/var/mobile/Library/kavlor-device.plist", NSDictionary::dictionary({ { "idiom", NSString::string(idiom) } }));
        UIKitState::reset();
    }

    // A panel as the lock screen's list holds it: pinned to the top of a view of the
    // list's width, in a window.
    id buildPanel(double width)
    {
        m_window = UIKitSupport::allocInitWithFrame("UIWindow", CGRectMake(0, 0, width, 800));
        id panel = send<id>(send<id>(objc_getClass("UserAccountView"), "alloc"), "init");
        send(m_window, "addSubview:", panel);
        for (const char* edge : { "topAnchor", "leadingAnchor", "trailingAnchor" })
            send(send<id>(send<id>(panel, edge), "constraintEqualToAnchor:", send<id>(m_window, edge)), "setActive:", true);
        send(m_window, "layoutIfNeeded");
        return panel;
    }

    // The frame in the window's coordinates.
    static CGRect onScreen(const id& view)
    {
        CGRect frame = send<CGRect>(view, "frame");
        for (auto above = UIView::from(view)->superview(); above && above->superview(); above = above->superview())
            frame.origin = { frame.origin.x + above->frame().origin.x, frame.origin.y + above->frame().origin.y };
        return frame;
    }
    static RGBA components(const id& colour)
    {
        auto c = colour.as<UIColor>();
        return c ? RGBA { c->red(), c->green(), c->blue(), c->alpha() } : RGBA { -1, -1, -1, -1 };
    }

    void writeThreeUsers()
    {
        writeUsers({ { "Mira", guestRecord("Mira") }, { "Admin", guestRecord("Admin") }, { "Luca", guestRecord("Luca") } });
    }

    void checkLayout(const id& panel, const PanelMetrics& metrics, double width)
    {
        SCOPED_TRACE(fmt::format("{} points wide", width));
        id strip = send<id>(panel, "baseView");
        EXPECT_EQ(onScreen(panel), CGRectMake(0, 0, width, metrics.selfHeight));
        EXPECT_EQ(onScreen(strip), CGRectMake(0, 0, width, metrics.selfHeight - 25));
        CGRect stripFrame = onScreen(strip);
        CGRect logout = onScreen(send<id>(panel, "logoutButton"));
        CGRect respring = onScreen(send<id>(panel, "respringButton"));
        CGRect hide = onScreen(send<id>(panel, "hideButton"));
        EXPECT_EQ(CGRectGetMinX(respring) - CGRectGetMaxX(logout), metrics.spacing);
        EXPECT_EQ(CGRectGetMinX(hide) - CGRectGetMaxX(respring), metrics.spacing);
        for (const CGRect& button : { logout, respring, hide }) {
            EXPECT_EQ(button.size, CGSizeMake(metrics.buttonSize, metrics.buttonSize));
            EXPECT_EQ(CGRectGetMidY(button), CGRectGetMidY(stripFrame) - 5);
        }
        EXPECT_EQ(CGRectGetMidX(respring), CGRectGetMidX(stripFrame));
        CGRect caption = onScreen(send<id>(panel, "respringLabel"));
        EXPECT_EQ(CGRectGetMinY(caption), CGRectGetMaxY(respring) + 5);
        EXPECT_EQ(CGRectGetMidX(caption), CGRectGetMidX(respring));
        EXPECT_EQ(onScreen(send<id>(panel, "settingButton")), CGRectMake(width - 35, 5, 30, 30));
        EXPECT_EQ(onScreen(send<id>(panel, "collectionView")), CGRectMake(0, 0, width - 35, metrics.selfHeight - 25));

        auto collection = send<id>(panel, "collectionView").as<UICollectionView>();
        std::vector<std::string> names;
        for (const auto& cell : collection->visibleCells()) {
            CGRect cellFrame = onScreen(cell);
            EXPECT_EQ(cellFrame.size, CGSizeMake(90, 90));
            CGRect avatar = onScreen(send<id>(cell, "avatarImage"));
            EXPECT_EQ(avatar.size, CGSizeMake(60, 60));
            EXPECT_EQ(CGRectGetMidX(avatar), CGRectGetMidX(cellFrame));
            EXPECT_EQ(CGRectGetMidY(avatar), CGRectGetMidY(cellFrame) - 7);
            EXPECT_EQ(send<double>(send<id>(send<id>(cell, "avatarImage"), "layer"), "cornerRadius"), 30);
            EXPECT_EQ(CGRectGetMinY(onScreen(send<id>(cell, "usernameLabel"))), CGRectGetMaxY(avatar) + 5);
            names.push_back(UIKitSupport::stringValue(send<id>(send<id>(cell, "usernameLabel"), "text")));
        }
        EXPECT_EQ(names, (std::vector<std::string> { "Mira", "Admin", "Luca" }));
    }

    id m_window;
};

TEST_F(PanelTest, OnAPhoneTheSolvedFramesFollowBothTables)
{
    writeThreeUsers();
    SystemLog::Capture log;
    id panel = buildPanel(375);
    checkLayout(panel, panelMetricsFor(false), 375);
    EXPECT_EQ(selfHeight, 125);
    EXPECT_EQ(send<double>(panel, "alpha"), 1.0);
    EXPECT_EQ(send<double>(send<id>(panel, "settingView"), "alpha"), 0.0);
    EXPECT_FALSE(send<bool>(panel, "isHidden"));
    for (const auto& line : log.lines())
        ADD_FAILURE() << "the layout logged: " << line;
}

TEST_F(PanelTest, OnAPadTheSolvedFramesFollowBothTablesWithThePadsMetrics)
{
    useDevice("pad");
    writeThreeUsers();
    SystemLog::Capture log;
    id panel = buildPanel(1024);
    checkLayout(panel, panelMetricsFor(true), 1024);
    EXPECT_EQ(fontSize, 12);
    EXPECT_EQ(send<double>(send<id>(send<id>(panel, "hideLabel"), "font"), "pointSize"), 12);
    EXPECT_EQ(send<UIEdgeInsets>(send<id>(panel, "hideButton"), "imageEdgeInsets"), UIEdgeInsetsMake(15, 15, 15, 15));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(PanelTest, ADeviceThatDoesNotAnswerTheIdiomIsAPhone)
{
    useDevice("legacy");
    id panel = buildPanel(375);
    EXPECT_EQ(spacing, 35);
    EXPECT_EQ(send<CGRect>(panel, "frame").size.height, 125);
}

TEST_F(PanelTest, CellsShowNamesAvatarsAndTheActiveGuest)
{
    std::ifstream icon(std::string(KAVLOR_ACTION_ICONS) + "/close.png", std::ios::binary);
    std::vector<uint8_t> png { std::istreambuf_iterator<char>(icon), std::istreambuf_iterator<char>() };
    writeUsers({ { "Mira", guestRecord("Mira", { { "profileIcon", NSData::data(png) } }) }, { "Luca", guestRecord("Luca") } });
    mainSettings->setObject("Mira"_ns, "activeUser");
    mainSettings->setBool(true, "isKavlorActive");
    ASSERT_TRUE(panelKavlorActive);
    id panel = buildPanel(375);
    auto collection = send<id>(panel, "collectionView").as<UICollectionView>();
    id mira = collection->cellForItem(0, 0);
    id luca = collection->cellForItem(1, 0);
    EXPECT_EQ(UIKitSupport::stringValue(send<id>(send<id>(mira, "usernameLabel"), "text")), "Active");
    EXPECT_EQ(UIKitSupport::stringValue(send<id>(send<id>(luca, "usernameLabel"), "text")), "Luca");
    id miraLayer = send<id>(send<id>(mira, "avatarImage"), "layer");
    id lucaLayer = send<id>(send<id>(luca, "avatarImage"), "layer");
    EXPECT_EQ(send<double>(miraLayer, "borderWidth"), 1.5);
    EXPECT_EQ(send<double>(lucaLayer, "borderWidth"), 1.5);
    EXPECT_EQ(send<id>(miraLayer, "borderColor").as<UIColor>()->name(), "systemGreenColor");
    EXPECT_EQ(send<id>(lucaLayer, "borderColor").as<UIColor>()->name(), "clearColor");
    EXPECT_EQ(send<CGSize>(send<id>(send<id>(mira, "avatarImage"), "image"), "size"), CGSizeMake(60, 60));
    EXPECT_FALSE(send<id>(send<id>(luca, "avatarImage"), "image")); // data that is no image
    id label = send<id>(luca, "usernameLabel");
    EXPECT_EQ(send<long long>(label, "numberOfLines"), 2);
    EXPECT_EQ(send<id>(label, "font").as<UIFont>()->fontName(), ".SFUI-Semibold");

    // Guest mode off: no cell reads "Active", whatever activeUser says.
    mainSettings->setBool(false, "isKavlorActive");
    send(send<id>(panel, "collectionView"), "reloadData");
    send(m_window, "layoutIfNeeded");
    EXPECT_EQ(UIKitSupport::stringValue(send<id>(send<id>(collection->cellForItem(0, 0), "usernameLabel"), "text")), "Mira");
}

TEST_F(PanelTest, TheButtonsCarryTheirTemplateIconsAndActions)
{
    id panel = buildPanel(375);
    const std::pair<const char*, const char*> buttons[] = { { "settingButton", "settingAction" }, { "dismissButton", "dismissAction" },
        { "respringButton", "respringAction" }, { "logoutButton", "logoutAction" }, { "hideButton", "hideAction" } };
    for (const auto& [property, action] : buttons) {
        auto button = send<id>(panel, property).as<UIButton>();
        ASSERT_TRUE(button) << property;
        auto image = button->imageForState(0).as<UIImage>();
        ASSERT_TRUE(image) << property;
        EXPECT_EQ(image->renderingMode(), UIImageRenderingModeAlwaysTemplate);
        ASSERT_EQ(button->targetActions().size(), 1u);
        EXPECT_EQ(button->targetActions()[0].target, panel);
        EXPECT_STREQ(sel_getName(button->targetActions()[0].action), action);
        EXPECT_EQ(button->targetActions()[0].events, 64u);
    }
}

TEST_F(PanelTest, AnAppearanceChangeRecoloursTheFiveButtonsAndTheBlur)
{
    id panel = buildPanel(375);
    const char* const buttons[] = { "settingButton", "dismissButton", "respringButton", "logoutButton", "hideButton" };
    for (const char* button : buttons)
        EXPECT_EQ(components(send<id>(send<id>(panel, button), "backgroundColor")), (RGBA { 1.0, 1.0, 1.0, 0.4 })) << button;
    id blur = send<id>(send<id>(panel, "baseView"), "blurEffectView");
    EXPECT_EQ(send<long long>(send<id>(blur, "effect"), "style"), 1);

    UITraitCollection::setUserInterfaceStyle(UIUserInterfaceStyleDark);
    for (const char* button : buttons) {
        EXPECT_EQ(components(send<id>(send<id>(panel, button), "backgroundColor")), (RGBA { 0.18, 0.18, 0.19, 0.4 })) << button;
        EXPECT_EQ(send<id>(send<id>(panel, button), "tintColor").as<UIColor>()->name(), "whiteColor") << button;
    }
    EXPECT_EQ(send<long long>(send<id>(blur, "effect"), "style"), 2);
    // The captions keep the colour they were built with.
    EXPECT_EQ(send<id>(send<id>(panel, "hideLabel"), "textColor").as<UIColor>()->name(), "labelColor");
}

TEST_F(PanelTest, CustomColoursHideTheBlurBehindTheBackgroundColour)
{
    mainSettings->setBool(true, "toggleCustomChroma");
    mainSettings->setObject("3366CC"_ns, "backgroundChroma");
    id panel = buildPanel(375);
    id base = send<id>(panel, "baseView");
    EXPECT_EQ(send<double>(send<id>(base, "blurEffectView"), "alpha"), 0.0);
    EXPECT_EQ(components(send<id>(base, "backgroundColor")), (RGBA { 0.2, 0.4, 0.8, 1.0 }));
    EXPECT_EQ(onScreen(send<id>(base, "blurEffectView")), CGRectMake(0, 0, 375, 100));
}

TEST_F(PanelTest, ASecondInitLeavesOneSetOfContentAndOneObserver)
{
    writeThreeUsers();
    id panel = buildPanel(375);
    id firstBase = send<id>(panel, "baseView");
    id firstRespring = send<id>(panel, "respringButton");
    writeUsers({ { "Otto", guestRecord("Otto") } });
    EXPECT_EQ(send<id>(panel, "init"), panel);
    send(m_window, "layoutIfNeeded");

    EXPECT_EQ(send<id>(panel, "subviews").as<NSArray>()->count(), 1u);
    EXPECT_NE(send<id>(panel, "baseView"), firstBase);
    EXPECT_NE(send<id>(panel, "respringButton"), firstRespring);
    EXPECT_FALSE(send<id>(firstBase, "superview"));
    EXPECT_EQ(NSNotificationCenter::defaultCenter()->observerCount(), 1u);
    EXPECT_EQ(accountArray->count(), 1u);
    EXPECT_EQ(accountImgArray->count(), 1u);
    size_t heights = 0;
    auto installed = send<id>(panel, "constraints").as<NSArray>();
    for (const auto& constraint : *installed)
        heights += send<long long>(constraint, "firstAttribute") == NSLayoutAttributeHeight ? 1 : 0;
    EXPECT_EQ(heights, 1u);
    EXPECT_EQ(send<CGRect>(panel, "frame"), CGRectMake(0, 0, 375, 125));
    EXPECT_EQ(send<id>(panel, "collectionView").as<UICollectionView>()->visibleCells().size(), 1u);
}

TEST_F(PanelTest, TheSharedPanelIsOneObjectThatNobodyInitialisesButItsCaller)
{
    id shared = send<id>(objc_getClass("UserAccountView"), "sharedInstance");
    EXPECT_EQ(send<id>(objc_getClass("UserAccountView"), "sharedInstance"), shared);
    EXPECT_EQ(std::string(object_getClassName(shared)), "UserAccountView");
    EXPECT_EQ(send<id>(shared, "init"), shared);
    EXPECT_TRUE(send<id>(shared, "baseView"));
}

TEST_F(PanelTest, WithoutAUserDataFileThePanelListsNobodyAndStillLaysOut)
{
    SystemLog::Capture log;
    id panel = buildPanel(375);
    EXPECT_EQ(accountArray->count(), 0u);
    EXPECT_TRUE(send<id>(panel, "collectionView").as<UICollectionView>()->visibleCells().empty());
    EXPECT_EQ(onScreen(send<id>(panel, "respringButton")), CGRectMake(162.5, 20, 50, 50));
    EXPECT_TRUE(log.lines().empty());
}

} // namespace
