#include "SpringBoardTestSupport.h"
#include "UIAlertController.h"
#include "UITapGestureRecognizer.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> seen;

IMP originalDidFinishLaunching, originalAdjunctViewDidLoad, originalScrollViewInit, originalSetStatusBar, originalLoadIconState,
    originalIconControllerWillAppear, originalHomeDidAppear;

void recordDidFinishLaunching(id self, SEL cmd, id application)
{
    seen.push_back("applicationDidFinishLaunching:");
    callOriginal(originalDidFinishLaunching, self, cmd, application);
}

void recordAdjunctViewDidLoad(id self, SEL cmd)
{
    callOriginal(originalAdjunctViewDidLoad, self, cmd);
    // The original has built the stack view by the time it returns.
    seen.push_back(send<id>(self, "stackView") ? "viewDidLoad (stack view built)" : "viewDidLoad (no stack view)");
}

id recordScrollViewInit(id self, SEL cmd, CGRect frame)
{
    seen.push_back("initWithFrame:");
    return callOriginal<id>(originalScrollViewInit, self, cmd, frame);
}

void recordSetStatusBar(id self, SEL cmd, id statusBar)
{
    seen.push_back("setStatusBar:");
    callOriginal(originalSetStatusBar, self, cmd, statusBar);
}

id recordLoadIconState(id self, SEL cmd, id* error)
{
    seen.push_back("loadCurrentIconState:");
    return callOriginal<id>(originalLoadIconState, self, cmd, error);
}

void recordIconControllerWillAppear(id self, SEL cmd, bool animated)
{
    seen.push_back("SBIconController viewWillAppear:");
    callOriginal(originalIconControllerWillAppear, self, cmd, animated);
}

void recordHomeDidAppear(id self, SEL cmd, bool animated)
{
    seen.push_back("SBHomeScreenViewController viewDidAppear:");
    callOriginal(originalHomeDidAppear, self, cmd, animated);
}

template<class F>
void hook(const char* className, const char* selector, F replacement, IMP* slot)
{
    *slot = nullptr;
    MSHookMessageEx(objc_getClass(className), sel(selector), reinterpret_cast<IMP>(replacement), slot);
    ASSERT_NE(*slot, nullptr) << className << " " << selector;
}

class LaunchTest : public SpringBoardTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        registerVersion(GetParam());
        seen.clear();
    }
};

TEST_P(LaunchTest, StepsComeInOrderAndTheLockScreenIsTheVersions)
{
    TraceRecorder trace;
    SpringBoardApp& app = SpringBoardApp::launch();
    std::vector<std::string> steps;
    for (const auto& event : trace.named("springboard-step"))
        steps.push_back(event.field("step"));
    EXPECT_EQ(steps, (std::vector<std::string> { "application", "lock-screen", "status-bar", "icon-model", "home-screen", "ready" }));
    EXPECT_EQ(SpringBoardApp::current(), &app);
    EXPECT_EQ(app.iosMajor(), GetParam());

    LockScreenClasses classes = LockScreenClasses::forVersion(GetParam());
    EXPECT_STREQ(object_getClassName(app.coverSheetViewController()), classes.coverSheetViewController);
    EXPECT_STREQ(object_getClassName(app.adjunctListViewController()), classes.adjunctListViewController);
    EXPECT_STREQ(object_getClassName(app.lockScreenScrollView()), classes.scrollView);
    EXPECT_EQ(send<id>(id(objc_getClass("UIApplication")), "sharedApplication"), app.application());
    EXPECT_TRUE(send<bool>(app.application(), "didFinishLaunching"));
    EXPECT_TRUE(app.isLocked());
    EXPECT_EQ(static_cast<bool>(app.libraryViewController()), GetParam() >= 14);

    // The home screen is up behind the lock screen, the lock screen's window is key.
    EXPECT_FALSE(send<bool>(app.homeScreenWindow(), "isHidden"));
    EXPECT_TRUE(send<bool>(app.lockScreenWindow(), "isKeyWindow"));
    EXPECT_EQ(send<id>(app.statusBarWindow(), "statusBar").get() != nullptr, true);
}

TEST_P(LaunchTest, HooksInstalledBeforeLaunchInterceptEachStepsCall)
{
    LockScreenClasses classes = LockScreenClasses::forVersion(GetParam());
    hook("SpringBoard", "applicationDidFinishLaunching:", &recordDidFinishLaunching, &originalDidFinishLaunching);
    hook(classes.adjunctListViewController, "viewDidLoad", &recordAdjunctViewDidLoad, &originalAdjunctViewDidLoad);
    hook(classes.scrollView, "initWithFrame:", &recordScrollViewInit, &originalScrollViewInit);
    hook("UIStatusBarWindow", "setStatusBar:", &recordSetStatusBar, &originalSetStatusBar);
    hook("SBDefaultIconModelStore", "loadCurrentIconState:", &recordLoadIconState, &originalLoadIconState);
    hook("SBIconController", "viewWillAppear:", &recordIconControllerWillAppear, &originalIconControllerWillAppear);
    hook("SBHomeScreenViewController", "viewDidAppear:", &recordHomeDidAppear, &originalHomeDidAppear);

    SpringBoardApp& app = SpringBoardApp::launch();
    EXPECT_EQ(seen, (std::vector<std::string> { "applicationDidFinishLaunching:", "viewDidLoad (stack view built)", "initWithFrame:", "setStatusBar:",
        "loadCurrentIconState:", "SBIconController viewWillAppear:", "SBHomeScreenViewController viewDidAppear:" }));
    // The originals ran: SpringBoard's own work is done behind each replacement.
    EXPECT_TRUE(send<bool>(app.application(), "didFinishLaunching"));
    EXPECT_TRUE(send<id>(app.lockScreenScrollView(), "panGestureRecognizer"));
    EXPECT_TRUE(send<id>(app.statusBarWindow(), "statusBar"));
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, LaunchTest, ::testing::Values(12, 13, 14), [](const auto& info) { return "iOS" + std::to_string(info.param); });

// The lock-screen panel's way in: a double-tap recognizer attached to every lock-screen
// scroll view, before SpringBoard's own initWithFrame: runs.
int showActions;
IMP originalPagedInit;

id attachDoubleTap(id self, SEL cmd, CGRect frame)
{
    id recognizer = send<id>(send<id>(id(objc_getClass("UITapGestureRecognizer")), "alloc"), "initWithTarget:action:", self, sel("showAction"));
    send(recognizer, "setNumberOfTapsRequired:", 2ULL);
    send(self, "addGestureRecognizer:", recognizer);
    return callOriginal<id>(originalPagedInit, self, cmd, frame);
}

TEST_F(SpringBoardTest, ARecognizerAttachedBeforeInitWithFrameSurvivesItAndADoubleTapReachesIt)
{
    registerVersion(12);
    showActions = 0;
    MSHookMessageEx(objc_getClass("SBPagedScrollView"), sel("initWithFrame:"), reinterpret_cast<IMP>(&attachDoubleTap), &originalPagedInit);
    class_addMethod(objc_getClass("SBPagedScrollView"), sel("showAction"), reinterpret_cast<IMP>(+[](id, SEL) { ++showActions; }), "v@:");
    SpringBoardApp& app = SpringBoardApp::launch();

    EXPECT_FALSE(UITapGestureRecognizer::tap(app.lockScreenScrollView(), 1));
    EXPECT_EQ(showActions, 0);
    EXPECT_TRUE(UITapGestureRecognizer::tap(app.lockScreenScrollView(), 2));
    EXPECT_EQ(showActions, 1);
    // The scroll view keeps its own pan recognizer beside the added one.
    EXPECT_EQ(UIView::from(app.lockScreenScrollView())->gestureRecognizers().size(), 2u);
}

// The first-launch notice's way in: an alert presented from the icon controller as
// SpringBoard finishes launching.
IMP originalFinishForAlert;
int okayTaps;

void presentNotice(id self, SEL cmd, id application)
{
    callOriginal(originalFinishForAlert, self, cmd, application);
    id alert = send<id>(id(objc_getClass("UIAlertController")), "alertControllerWithTitle:message:preferredStyle:", id("IMPORTANT NOTE!"_ns),
        id("message"_ns), 1LL);
    send(alert, "addAction:",
        send<id>(id(objc_getClass("UIAlertAction")), "actionWithTitle:style:handler:", id("Okay"_ns), 0LL, makeBlock<void(id)>([](id) { ++okayTaps; })));
    send(send<id>(id(objc_getClass("SBIconController")), "sharedInstance"), "presentViewController:animated:completion:", alert, true, nil);
}

TEST_F(SpringBoardTest, AnAlertPresentedAtLaunchIsShownOnTheIconControllerAndCanBeTapped)
{
    registerVersion(13);
    okayTaps = 0;
    MSHookMessageEx(objc_getClass("SpringBoard"), sel("applicationDidFinishLaunching:"), reinterpret_cast<IMP>(&presentNotice), &originalFinishForAlert);
    SpringBoardApp& app = SpringBoardApp::launch();

    id alert = app.presentedAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(send<id>(alert, "presentingViewController"), app.iconController());
    EXPECT_FALSE(UIAlertController::tapAction(app.presentedAlert(), "Cancel"));
    EXPECT_TRUE(UIAlertController::tapAction(app.presentedAlert(), "Okay"));
    EXPECT_EQ(okayTaps, 1);
    EXPECT_FALSE(app.presentedAlert());
}

// The Today view's and search's hide-after replacements, and the icon library's fixed one.
IMP originalSearchBarLayout, originalFooterMove, originalLibraryLayout, originalTodayDidLoad;
int footerMoves;

void hideSearchBarAfterLayout(id self, SEL cmd)
{
    callOriginal(originalSearchBarLayout, self, cmd);
    send(self, "setHidden:", true);
}

void countFooterMoves(id self, SEL cmd)
{
    callOriginal(originalFooterMove, self, cmd);
    ++footerMoves;
}

void hideLibraryTable(id self, SEL) { send(self, "setHidden:", true); }

void hideTodayContent(id self, SEL cmd)
{
    callOriginal(originalTodayDidLoad, self, cmd);
    for (const auto& subview : UIView::from(send<id>(self, "view"))->subviews())
        send(subview, "setHidden:", true);
}

TEST_F(SpringBoardTest, LaunchLoadsTheTodayViewMovesItsFooterIntoAWindowAndLaysEverythingOut)
{
    registerVersion(14);
    footerMoves = 0;
    MSHookMessageEx(objc_getClass("SBSearchBar"), sel("layoutSubviews"), reinterpret_cast<IMP>(&hideSearchBarAfterLayout), &originalSearchBarLayout);
    MSHookMessageEx(objc_getClass("WGWidgetListFooterView"), sel("didMoveToWindow"), reinterpret_cast<IMP>(&countFooterMoves), &originalFooterMove);
    MSHookMessageEx(objc_getClass("_SBHIconLibraryTableView"), sel("layoutSubviews"), reinterpret_cast<IMP>(&hideLibraryTable), &originalLibraryLayout);
    MSHookMessageEx(objc_getClass("SBTodayViewController"), sel("viewDidLoad"), reinterpret_cast<IMP>(&hideTodayContent), &originalTodayDidLoad);
    SpringBoardApp& app = SpringBoardApp::launch();

    EXPECT_TRUE(send<bool>(app.searchBar(), "isHidden"));
    EXPECT_EQ(footerMoves, 1);
    EXPECT_TRUE(send<bool>(app.libraryTableView(), "isHidden"));
    EXPECT_EQ(UIView::from(app.libraryTableView())->layoutPassCount(), 0);

    auto todayViews = UIView::from(send<id>(app.todayViewController(), "view"))->subviews();
    ASSERT_EQ(todayViews.size(), 3u);
    EXPECT_STREQ(object_getClassName(todayViews[0]), "WGWidgetWrapperView");
    EXPECT_STREQ(object_getClassName(todayViews[2]), "WGWidgetListFooterView");
    for (const auto& view : todayViews)
        EXPECT_TRUE(send<bool>(view, "isHidden"));

    // Every layout pass runs the search bar's layout again, and the replacement hides it again.
    send(app.searchBar(), "setHidden:", false);
    app.runLayoutPass();
    EXPECT_TRUE(send<bool>(app.searchBar(), "isHidden"));
}

} // namespace
