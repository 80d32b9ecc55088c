// The panel on the lock screen of an in-process SpringBoard (iOS 14) with the library's
// hooks installed once for the whole process, as MobileSubstrate installs them: placement,
// the double tap, the panel's actions and the first-launch notice. Time is the main run
// loop's virtual clock.

#include "BlurBaseView.h"
#include "UIKitTestSupport.h"
#include "FirstLaunchNotice.h"
#include "MainInitialiser.h"
#include "NSProcessInfo.h"
#include "RunLoop.h"
#include "SpringBoardApp.h"
#include "SpringBoardClasses.h"
#include "SpringBoardState.h"
#include "SystemLog.h"
#include "ThemeColours.h"
#include "Trace.h"
#include "TweakTestEnvironment.h"
#include "UIKitSupport.h"
#include "UIKit.h"
#include "UIKitState.h"
#include "UserAccountCell.h"
#include "UserAccountView.h"
#include "UserAccountViewActions.h"

#include <gtest/gtest.h>

namespace {

// --- the decisions ---------------------------------------------------------------------------

TEST(PanelActionDecisionTest, TheTwoFacesOfThePanel)
{
    EXPECT_EQ(panelAlphasFor(PanelFace::AccountList), (PanelAlphas { 1.0, 1.0, 0.0 }));
    EXPECT_EQ(panelAlphasFor(PanelFace::SettingsSheet), (PanelAlphas { 0.0, 0.0, 1.0 }));
}

TEST(PanelActionDecisionTest, TheConfirmationMessageBytes)
{
    EXPECT_EQ(confirmationMessageFor("Mira"_ns)->utf8(), "Are you sure you want to start guest mode for user \n\n Mira ?");
    EXPECT_EQ(confirmationMessageFor(nil)->utf8(), "Are you sure you want to start guest mode for user \n\n (null) ?");
}

TEST(PanelActionDecisionTest, ARowTheListNoLongerHasNamesNobody)
{
    auto accounts = NSArray::array({ "Mira"_ns, "Luca"_ns });
    EXPECT_TRUE(isEqual(accountNameAt(accounts, 1), "Luca"_ns));
    EXPECT_FALSE(accountNameAt(accounts, 2));
    EXPECT_FALSE(accountNameAt(accounts, -1));
    EXPECT_FALSE(accountNameAt(nullptr, 0));
}

TEST(FirstLaunchNoticeTest, TheMessageIsThe386CharacterTextWithItsQuotationMarks)
{
    auto message = firstLaunchNoticeMessage();
    EXPECT_EQ(message->length(), 386u);
    EXPECT_EQ(message->utf8(),
        "For users who jailbreak with Brennick\xE2\x80\x99s Taurine or Odyssey might experience issues with our tweaks such as respring loop, "
        "crashed, safe mode and please do the following instruction below. \n\n"
        "1) Install the \xE2\x80\x98libhooker\xE2\x80\x99 and \xE2\x80\x98libhooker configurator\xE2\x80\x99 tweaks \n\n"
        "2) Open the libhooker app \n\n"
        "3) Enter \xE2\x80\x98tweak compatibility\xE2\x80\x99 select (TweakName) \n\n"
        "4) Change from libhooker to substrate compatibility");
    const std::string& text = message->utf8();
    for (size_t at = text.find("\n\n"); at != std::string::npos; at = text.find("\n\n", at + 2))
        EXPECT_EQ(text[at - 1], ' ') << "before the line feeds at " << at;
}

TEST(FirstLaunchNoticeTest, UTF16TextWithSurrogatesAndLoneHalves)
{
    const char16_t text[] = { u'a', 0xD83D, 0xDE00, 0xDC00, u'b' };
    auto string = NSString::stringWithCharacters(text, 5);
    EXPECT_EQ(string->utf8(), "a\xF0\x9F\x98\x80\xEF\xBF\xBD" "b");
    EXPECT_EQ(string->length(), 5u);
}

// --- on SpringBoard ----------------------------------------------------------------------------

// The library as MobileSubstrate loads it into SpringBoard, once for this process: its
// classes, then the main initialiser with the tweak switched on (panel, base and switching
// hooks on the iOS 14 classes).
void loadLibraryOnce()
{
    static bool loaded = false;
    if (loaded)
        return;
    loaded = true;
    auto root = std::filesystem::temp_directory_path() / ("kavlor-lockscreen-load-" + std::to_string(getpid()));
    std::filesystem::create_directories(root / "var/mobile/Library/Preferences");
    setenv("KAVLOR_DEVICE_ROOT", root.c_str(), 1);
    HBPreferences::preferencesForIdentifier(kSettingsDomain)->setBool(true, Key::toggleKavlor);
    NSProcessInfo::setArgumentsForTesting(std::vector<std::string> { "/System/Library/CoreServices/SpringBoard.app/SpringBoard" });
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion { 14, 4, 0 });
    registerSpringBoardClasses(14);
    declareThemeColourCategories();
    declareBlurBaseView();
    declareUserAccountCell();
    declareUserAccountView();
    mainInitialiser();
    unsetenv("KAVLOR_DEVICE_ROOT");
    std::filesystem::remove_all(root);
}

class LockScreenPanelTest : public TweakTestEnvironment {
protected:
    void SetUp() override
    {
        loadLibraryOnce();
        TweakTestEnvironment::SetUp();
        RunLoop::main().resetForTesting();
        RunLoop::main().useVirtualClock();
        UIKitState::reset();
        SpringBoardState::reset(14);
        toggleKavlor = true;
        hideLSAccount = false;
        showImportantAlert = false;
        colourSettingsInitialiser();
        blurViewSettingsInitialiser();
        panelSettingsInitialiser();
        // The shared panel outlives a SpringBoard here (one process for every test): give
        // each test the panel a fresh SpringBoard process would have.
        auto& panel = *sharedPanel().as<UserAccountView>();
        panel.observesShowNotification = false;
        panel.setTransform(CGAffineTransformIdentity);
        m_trace.clear(); // what the tests do, not what setting up did
    }

    void TearDown() override
    {
        SpringBoardApp::discard();
        RunLoop::main().resetForTesting();
        panelSettings = nullptr;
        TweakTestEnvironment::TearDown();
    }

    static id sharedPanel() { return send<id>(objc_getClass("UserAccountView"), "sharedInstance"); }

    SpringBoardApp& launch()
    {
        SpringBoardApp& app = SpringBoardApp::launch();
        app.runLayoutPass();
        m_trace.clear();
        return app;
    }

    std::vector<TraceRecorder::Event> named(const std::string& name) const { return m_trace.named(name); }
    size_t writesOf(const std::string& key) const
    {
        size_t count = 0;
        for (const auto& event : named("settings-write"))
            count += event.field("key") == key ? 1 : 0;
        return count;
    }
    static id stored(const char* key) { return HBPreferences::preferencesForIdentifier(kSettingsDomain)->objectForKey(key); }
    static bool storedBool(const char* key) { return HBPreferences::preferencesForIdentifier(kSettingsDomain)->boolForKey(key); }

    static void advance(double seconds) { RunLoop::main().advanceBy(Seconds(seconds)); }
    static double alphaOf(const id& panel, const char* part) { return send<double>(send<id>(panel, part), "alpha"); }
    static PanelAlphas faceOf(const id& panel)
    {
        return { alphaOf(panel, "collectionView"), alphaOf(panel, "settingButton"), alphaOf(panel, "settingView") };
    }
    static double scaleOf(const id& panel)
    {
        CGAffineTransform transform = send<CGAffineTransform>(panel, "transform");
        EXPECT_EQ(transform.a, transform.d);
        return transform.a;
    }

    void postShow(const id& object = nil)
    {
        NSNotificationCenter::defaultCenter()->postNotificationName(NSString::string(kShowUserAccountNotification), object, nil);
    }

    void writeTwoGuests()
    {
        writeUsers({ { "Mira", guestRecord("Mira") }, { "Luca", guestRecord("Luca") } });
    }

    TraceRecorder m_trace;
};

TEST_F(LockScreenPanelTest, FirstPlacementHidesThePanelWithHideLSAccountAndAnAccountChangeShowsItAgain)
{
    hideLSAccount = true;
    writeTwoGuests();
    SpringBoardApp& app = launch();
    id controller = app.adjunctListViewController();
    id panel = send<id>(controller, "userAccountView");
    ASSERT_EQ(panel, sharedPanel());
    auto stack = send<id>(controller, "stackView").as<UIStackView>();
    ASSERT_FALSE(stack->arrangedSubviews().empty());
    EXPECT_EQ(stack->arrangedSubviews()[0], panel);
    EXPECT_TRUE(send<bool>(panel, "isHidden"));
    EXPECT_EQ(send<CGSize>(panel, "sizeToMimic"), send<CGSize>(controller, "sizeToMimic"));

    writeUsers({ { "Mira", guestRecord("Mira") }, { "Luca", guestRecord("Luca") }, { "Otto", guestRecord("Otto") } });
    NSNotificationCenter::defaultCenter()->postNotificationName(NSString::string(kAccountsChangedNotification), nil, nil);
    EXPECT_EQ(send<id>(controller, "userAccountView"), panel);
    EXPECT_EQ(stack->arrangedSubviews()[0], panel);
    EXPECT_EQ(stack->arrangedSubviews().size(), 1u);
    EXPECT_FALSE(send<bool>(panel, "isHidden"));
    EXPECT_EQ(accountArray->count(), 3u);
    EXPECT_TRUE(hideLSAccount);
    EXPECT_EQ(writesOf(Key::hideLSAccount), 0u);
}

TEST_F(LockScreenPanelTest, AControllerThatHoldsAPanelKeepsItButObservesOnceMore)
{
    SpringBoardApp& app = launch();
    id controller = app.adjunctListViewController();
    id panel = send<id>(controller, "userAccountView");
    send(panel, "setHidden:", true);
    size_t observers = NSNotificationCenter::defaultCenter()->observerCount();
    send(controller, "viewDidLoad");
    EXPECT_EQ(send<id>(controller, "userAccountView"), panel);
    EXPECT_TRUE(send<bool>(panel, "isHidden")) << "an existing panel is left as it is";
    EXPECT_EQ(NSNotificationCenter::defaultCenter()->observerCount(), observers + 1);
    send(controller, "setUserAccountView:", nil);
    EXPECT_FALSE(send<id>(controller, "userAccountView"));
}

TEST_F(LockScreenPanelTest, ADoubleTapOnTheScrollViewPostsWithTheScrollViewAsObject)
{
    SpringBoardApp& app = launch();
    std::vector<id> objects;
    NSNotificationCenter::defaultCenter()->addObserverForName(NSString::string(kShowUserAccountNotification), nil, NSOperationQueue::mainQueue(),
        makeBlock<void(id)>([&](id notification) { objects.push_back(send<id>(notification, "object")); }));
    id scrollView = app.lockScreenScrollView();
    EXPECT_FALSE(UITapGestureRecognizer::tap(scrollView, 1));
    EXPECT_TRUE(objects.empty());
    EXPECT_TRUE(UITapGestureRecognizer::tap(scrollView, 2));
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0], scrollView);
    // The panel is visible: it ignores the posting, but the scroll view still posts.
    EXPECT_TRUE(UITapGestureRecognizer::tap(scrollView, 2));
    EXPECT_EQ(objects.size(), 2u);
    EXPECT_EQ(writesOf(Key::hideLSAccount), 0u);

    // Every scroll view of the class gets the recogniser, from its initialisation on.
    id other = UIKitSupport::allocInitWithFrame("CSScrollView", CGRectMake(0, 0, 10, 10));
    size_t doubleTaps = 0;
    for (const auto& recognizer : UIView::from(other)->gestureRecognizers()) {
        auto tap = recognizer.as<UITapGestureRecognizer>();
        doubleTaps += tap && tap->numberOfTapsRequired() == 2 && tap->targetCount() == 1 ? 1 : 0;
    }
    EXPECT_EQ(doubleTaps, 1u);
}

TEST_F(LockScreenPanelTest, ShowAndHideFollowTheStateTableAndWriteHideLSAccountAtOnce)
{
    hideLSAccount = true;
    SpringBoardApp& app = launch();
    id panel = send<id>(app.adjunctListViewController(), "userAccountView");
    ASSERT_TRUE(send<bool>(panel, "isHidden"));

    // Hidden -> shown: unhidden and relaid at once, the transition 150 ms later.
    postShow(app.lockScreenScrollView());
    EXPECT_FALSE(send<bool>(panel, "isHidden"));
    EXPECT_FALSE(storedBool(Key::hideLSAccount));
    EXPECT_EQ(writesOf(Key::hideLSAccount), 1u);
    ASSERT_EQ(named("stack-view-layout").size(), 1u);
    EXPECT_EQ(named("stack-view-layout")[0].field("visible"), "1");
    EXPECT_EQ(send<CGRect>(panel, "frame").size.height, 125);
    advance(0.14);
    EXPECT_TRUE(named("view-animation").empty());
    advance(0.02);
    auto transitions = named("view-animation");
    ASSERT_EQ(transitions.size(), 1u);
    EXPECT_EQ(transitions[0].field("kind"), "transition");
    EXPECT_EQ(transitions[0].field("duration"), "0.3");
    EXPECT_EQ(transitions[0].field("options"), "0");
    EXPECT_EQ(scaleOf(panel), 1.0);
    EXPECT_EQ(send<double>(panel, "alpha"), 1.0);

    // Shown -> shown: nothing, nothing written.
    m_trace.clear();
    postShow();
    advance(1);
    EXPECT_EQ(writesOf(Key::hideLSAccount), 0u);
    EXPECT_TRUE(named("view-animation").empty());
    EXPECT_TRUE(named("stack-view-layout").empty());

    // Account list <-> settings sheet, over 0.5 s each.
    send(panel, "settingAction");
    EXPECT_EQ(faceOf(panel), panelAlphasFor(PanelFace::SettingsSheet));
    send(panel, "dismissAction");
    EXPECT_EQ(faceOf(panel), panelAlphasFor(PanelFace::AccountList));
    EXPECT_EQ(named("view-animation").size(), 2u);
    EXPECT_EQ(named("view-animation")[0].field("duration"), "0.5");

    // Settings sheet -> hidden: hideLSAccount YES at once, hidden and relaid after 0.3 s,
    // the account list underneath.
    send(panel, "settingAction");
    m_trace.clear();
    send(panel, "hideAction");
    EXPECT_TRUE(storedBool(Key::hideLSAccount));
    EXPECT_EQ(writesOf(Key::hideLSAccount), 1u);
    EXPECT_FALSE(send<bool>(panel, "isHidden"));
    EXPECT_EQ(scaleOf(panel), 0.5);
    EXPECT_EQ(send<double>(panel, "alpha"), 0.0);
    EXPECT_EQ(faceOf(panel), panelAlphasFor(PanelFace::AccountList));
    EXPECT_TRUE(named("stack-view-layout").empty());
    advance(0.29);
    EXPECT_FALSE(send<bool>(panel, "isHidden"));
    advance(0.02);
    EXPECT_TRUE(send<bool>(panel, "isHidden"));
    ASSERT_EQ(named("stack-view-layout").size(), 1u);
    EXPECT_EQ(named("stack-view-layout")[0].field("visible"), "0");

    // Hidden -> hidden: nothing.
    m_trace.clear();
    send(panel, "hideAction");
    advance(1);
    EXPECT_EQ(writesOf(Key::hideLSAccount), 0u);
    EXPECT_TRUE(named("view-animation").empty());

    // The next show starts on the account list.
    postShow();
    advance(0.2);
    EXPECT_EQ(faceOf(panel), panelAlphasFor(PanelFace::AccountList));
    EXPECT_EQ(send<double>(panel, "alpha"), 1.0);
    EXPECT_EQ(scaleOf(panel), 1.0);
}

TEST_F(LockScreenPanelTest, APostingSeenBySeveralRegistrationsShowsThePanelOnce)
{
    hideLSAccount = true;
    SpringBoardApp& app = launch();
    id panel = send<id>(app.adjunctListViewController(), "userAccountView");
    auto center = NSNotificationCenter::defaultCenter();
    center->addObserver(panel, sel("receiveVisibleNotification:"), NSString::string(kShowUserAccountNotification), nil);
    center->addObserver(panel, sel("receiveVisibleNotification:"), NSString::string(kShowUserAccountNotification), nil);
    postShow();
    advance(1);
    EXPECT_FALSE(send<bool>(panel, "isHidden"));
    EXPECT_EQ(writesOf(Key::hideLSAccount), 1u);
    EXPECT_EQ(named("view-animation").size(), 1u);
    EXPECT_EQ(named("stack-view-layout").size(), 1u);

    // Any other name does nothing.
    send(panel, "setHidden:", true);
    send(panel, "receiveVisibleNotification:", NSNotification::notificationWithName("SomethingElse"_ns, nil));
    EXPECT_TRUE(send<bool>(panel, "isHidden"));
}

TEST_F(LockScreenPanelTest, RelayoutFallsBackToLayoutSubviewsAndNeedsTwoSuperviews)
{
    id panel = sharedPanel();
    send(panel, "removeFromSuperview");
    send(panel, "forceLockscreenStackViewLayout"); // no superview: nothing
    id outer = UIKitSupport::allocInitWithFrame("UIView", CGRectMake(0, 0, 100, 100));
    id inner = UIKitSupport::allocInitWithFrame("UIView", CGRectMake(0, 0, 100, 100));
    send(outer, "addSubview:", inner);
    send(inner, "addSubview:", panel);
    long long before = UIView::from(outer)->layoutPassCount();
    send(panel, "forceLockscreenStackViewLayout");
    EXPECT_EQ(UIView::from(outer)->layoutPassCount(), before + 1);
    send(panel, "removeFromSuperview");
}

class AccountChoiceTest : public LockScreenPanelTest {
protected:
    void SetUp() override
    {
        LockScreenPanelTest::SetUp();
        writeTwoGuests();
        m_app = &launch();
        m_panel = send<id>(m_app->adjunctListViewController(), "userAccountView");
        NSNotificationCenter::defaultCenter()->addObserverForName(NSString::string(kStartGuestModeNotification), nil,
            NSOperationQueue::mainQueue(), makeBlock<void(id)>([this](id notification) { m_starts.push_back(send<id>(notification, "object")); }));
    }

    void choose(long long row)
    {
        auto collection = send<id>(m_panel, "collectionView").as<UICollectionView>();
        collection->selectItemAtIndexPath(NSIndexPath::indexPath(row, 0));
    }

    SpringBoardApp* m_app = nullptr;
    id m_panel;
    std::vector<id> m_starts;
};

TEST_F(AccountChoiceTest, ChoosingAnAccountAsksFirstAndNoDoesNothing)
{
    SystemLog::Capture log;
    choose(0);
    id alert = m_app->presentedAlert();
    ASSERT_TRUE(alert);
    auto alerts = named("alert");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].field("presenter"), "CSCoverSheetViewController");
    EXPECT_EQ(alerts[0].field("title"), "Kavlor");
    EXPECT_EQ(alerts[0].field("message"), "Are you sure you want to start guest mode for user \n\n Mira ?");
    EXPECT_EQ(alerts[0].field("actions"), "YES|NO");
    EXPECT_EQ(alerts[0].field("styles"), "0|0");
    EXPECT_EQ(send<long long>(alert, "preferredStyle"), 1);
    EXPECT_EQ(log.lines(), std::vector<std::string> { "aaaaaaa userName:-Mira" });

    m_trace.clear();
    ASSERT_TRUE(UIAlertController::tapAction(alert, "NO"));
    EXPECT_FALSE(m_app->presentedAlert());
    EXPECT_TRUE(named("settings-write").empty());
    EXPECT_TRUE(m_starts.empty());
}

TEST_F(AccountChoiceTest, YesMakesTheAccountActiveThroughAFreshSettingsObjectAndStartsGuestMode)
{
    Id<HBPreferences> before = panelSettings;
    choose(1);
    ASSERT_TRUE(UIAlertController::tapAction(m_app->presentedAlert(), "YES"));
    EXPECT_TRUE(isEqual(stored(Key::activeUser), "Luca"_ns));
    EXPECT_TRUE(storedBool(Key::isKavlorActive));
    auto writes = named("settings-write");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].field("key"), Key::activeUser);
    EXPECT_EQ(writes[1].field("key"), Key::isKavlorActive);
    ASSERT_EQ(m_starts.size(), 1u);
    EXPECT_FALSE(m_starts[0]);
    EXPECT_NE(panelSettings.get(), before.get());
    // The replaced object lives on: the value it binds follows the settings still.
    EXPECT_TRUE(panelKavlorActive);
    send(m_panel, "hideAction");
    EXPECT_TRUE(storedBool(Key::hideLSAccount));
}

TEST_F(AccountChoiceTest, TheAlertIsPresentedOnTopOfWhatTheRootControllerPresents)
{
    id root = m_app->coverSheetViewController();
    id sheet = UIKitSupport::allocInit("UIViewController");
    send(root, "presentViewController:animated:completion:", sheet, false, nil);
    choose(0);
    EXPECT_EQ(named("alert").at(0).field("presenter"), "UIViewController");
    EXPECT_TRUE(send<id>(sheet, "presentedViewController").as<UIAlertController>());
}

TEST_F(AccountChoiceTest, YesAfterTheAccountsShrankDoesNothing)
{
    choose(1);
    writeUsers({ { "Mira", guestRecord("Mira") } });
    NSNotificationCenter::defaultCenter()->postNotificationName(NSString::string(kAccountsChangedNotification), nil, nil);
    ASSERT_EQ(accountArray->count(), 1u);
    m_trace.clear();
    ASSERT_TRUE(UIAlertController::tapAction(m_app->presentedAlert(), "YES"));
    EXPECT_TRUE(named("settings-write").empty());
    EXPECT_TRUE(m_starts.empty());
    EXPECT_FALSE(stored(Key::activeUser));
}

TEST_F(AccountChoiceTest, WithoutAKeyWindowThereIsNoAlertButTheLineIsLogged)
{
    send(m_app->lockScreenWindow(), "setHidden:", true);
    SystemLog::Capture log;
    choose(0);
    EXPECT_FALSE(m_app->presentedAlert());
    EXPECT_EQ(log.lines(), std::vector<std::string> { "aaaaaaa userName:-Mira" });
}

TEST_F(AccountChoiceTest, LogoutPostsEndGuestModeAndRespringStartsSbreload)
{
    std::vector<id> ends;
    NSNotificationCenter::defaultCenter()->addObserverForName(NSString::string(kEndGuestModeNotification), nil, NSOperationQueue::mainQueue(),
        makeBlock<void(id)>([&](id notification) { ends.push_back(send<id>(notification, "object")); }));
    send(m_panel, "logoutAction");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_FALSE(ends[0]);
    // What settings are written and which respring follows is the end handler's (the panel
    // writes nothing of its own): the owner's name and guest mode off.
    for (const auto& write : named("settings-write"))
        EXPECT_TRUE(write.field("key") == "activeUser" || write.field("key") == "isKavlorActive") << write.field("key");

    // This test's device has no sbreload: the spawn is tried as on the device, then nothing.
    size_t spawnsBefore = named("spawn").size();
    send(m_panel, "respringAction");
    auto spawns = named("spawn");
    ASSERT_EQ(spawns.size(), spawnsBefore + 1);
    EXPECT_EQ(spawns.back().field("path"), "/usr/bin/sbreload");
    EXPECT_EQ(spawns.back().field("argv"), "sbreload");
}

// --- the first-launch notice -----------------------------------------------------------------

TEST_F(LockScreenPanelTest, TheNoticeIsShownAtEveryLaunchUntilOkay)
{
    showImportantAlert = true;
    SpringBoardApp& app = SpringBoardApp::launch();
    id alert = app.presentedAlert();
    ASSERT_TRUE(alert);
    auto presented = named("alert");
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented[0].field("presenter"), "SBIconController");
    EXPECT_EQ(presented[0].field("title"), "IMPORTANT NOTE!");
    EXPECT_EQ(presented[0].field("message"), firstLaunchNoticeMessage()->utf8());
    EXPECT_EQ(presented[0].field("actions"), "Okay");
    EXPECT_EQ(presented[0].field("styles"), "0");
    EXPECT_EQ(send<id>(app.iconController(), "presentedViewController"), alert);

    // Gone without Okay (a restart): shown again.
    SpringBoardState::reset(14);
    EXPECT_TRUE(SpringBoardApp::launch().presentedAlert());

    ASSERT_TRUE(UIAlertController::tapAction(SpringBoardApp::current()->presentedAlert(), "Okay"));
    auto value = stored(Key::showImportantAlert).as<NSNumber>();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->kind(), NSNumber::Kind::Boolean);
    EXPECT_FALSE(value->boolValue());
    EXPECT_FALSE(SpringBoardApp::current()->presentedAlert());

    showImportantAlert = false; // what the bound value reads after Okay
    SpringBoardState::reset(14);
    m_trace.clear();
    EXPECT_FALSE(SpringBoardApp::launch().presentedAlert());
    EXPECT_TRUE(named("alert").empty());
}

} // namespace
