#include "UIKit.h"
#include "UIKitSupport.h"
#include "UIKitTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using UIKitSupport::allocInit;
using UIKitSupport::allocInitWithFrame;

std::vector<std::string> lifecycle;

std::string titleOf(const id& controller)
{
    return UIKitSupport::stringValue(send<id>(controller, "title"));
}

// A controller that records its lifecycle messages, by its title.
void declareRecordingController()
{
    ClassBuilder("RecordingController", "UIViewController")
        .method("loadView", [](id self, SEL) {
            lifecycle.push_back(titleOf(self) + ":loadView");
            sendSuper(objc_getClass("RecordingController"), self, "loadView");
        })
        .method("viewDidLoad", [](id self, SEL) { lifecycle.push_back(titleOf(self) + ":viewDidLoad"); })
        .method("viewWillAppear:", [](id self, SEL, bool) { lifecycle.push_back(titleOf(self) + ":viewWillAppear"); })
        .method("viewDidAppear:", [](id self, SEL, bool) { lifecycle.push_back(titleOf(self) + ":viewDidAppear"); })
        .method("viewWillDisappear:", [](id self, SEL, bool) { lifecycle.push_back(titleOf(self) + ":viewWillDisappear"); })
        .method("viewDidDisappear:", [](id self, SEL, bool) { lifecycle.push_back(titleOf(self) + ":viewDidDisappear"); });
}

id recordingController(const char* title)
{
    id controller = allocInit("RecordingController");
    send(controller, "setTitle:", id(NSString::string(title)));
    return controller;
}

class ViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        objc_resetRuntimeForTesting();
        registerUIKitClasses();
        declareRecordingController();
        lifecycle.clear();
    }
    TemporaryDeviceRoot m_root;
};

TEST_F(ViewControllerTest, TheViewIsLoadedOnceOnFirstRequestThenViewDidLoadRuns)
{
    id controller = recordingController("a");
    EXPECT_FALSE(send<bool>(controller, "isViewLoaded"));
    EXPECT_FALSE(send<id>(controller, "viewIfLoaded"));
    id view = send<id>(controller, "view");
    EXPECT_EQ(send<id>(controller, "view"), view);
    EXPECT_EQ(lifecycle, (std::vector<std::string> { "a:loadView", "a:viewDidLoad" }));
    EXPECT_EQ(send<CGRect>(view, "frame"), UIScreen::mainScreenBounds());
    EXPECT_EQ(send<id>(view, "nextResponder"), controller);
}

TEST_F(ViewControllerTest, ALoadViewThatMakesNoViewIsReported)
{
    ClassBuilder("ViewlessController", "UIViewController").method("loadView", [](id, SEL) { });
    EXPECT_THROW(send<id>(allocInit("ViewlessController"), "view"), RuntimeError);
}

TEST_F(ViewControllerTest, ShowingAWindowMakesItsRootAndChildrenAppearInOrder)
{
    id window = allocInitWithFrame("UIWindow", CGRectMake(0, 0, 320, 480));
    id home = recordingController("home"), icons = recordingController("icons");
    send(home, "addChildViewController:", icons);
    send(window, "setRootViewController:", home);
    EXPECT_EQ(lifecycle, (std::vector<std::string> { "home:loadView", "home:viewDidLoad" }));
    EXPECT_EQ(send<CGRect>(send<id>(home, "view"), "frame"), CGRectMake(0, 0, 320, 480));

    lifecycle.clear();
    send(window, "makeKeyAndVisible");
    EXPECT_EQ(lifecycle, (std::vector<std::string> {
        "home:viewWillAppear", "icons:loadView", "icons:viewDidLoad", "icons:viewWillAppear", "home:viewDidAppear", "icons:viewDidAppear" }));
    EXPECT_TRUE(send<bool>(window, "isKeyWindow"));

    // Showing again is no new appearance; hiding is a disappearance.
    lifecycle.clear();
    send(window, "setHidden:", false);
    EXPECT_TRUE(lifecycle.empty());
    send(window, "setHidden:", true);
    EXPECT_EQ(lifecycle, (std::vector<std::string> { "home:viewWillDisappear", "icons:viewWillDisappear", "home:viewDidDisappear", "icons:viewDidDisappear" }));
    EXPECT_FALSE(send<bool>(window, "isKeyWindow"));
}

TEST_F(ViewControllerTest, ReplacingTheRootOfAVisibleWindowSwapsAppearance)
{
    id window = allocInitWithFrame("UIWindow", CGRectMake(0, 0, 320, 480));
    id first = recordingController("first"), second = recordingController("second");
    send(window, "setRootViewController:", first);
    send(window, "setHidden:", false);
    lifecycle.clear();
    send(window, "setRootViewController:", second);
    EXPECT_EQ(lifecycle, (std::vector<std::string> {
        "first:viewWillDisappear", "first:viewDidDisappear", "second:loadView", "second:viewDidLoad", "second:viewWillAppear", "second:viewDidAppear" }));
    EXPECT_EQ(UIView::from(window)->subviews(), (std::vector<id> { send<id>(second, "view") }));
}

TEST_F(ViewControllerTest, PresentationRecordsOneControllerAtATimeAndRunsCompletions)
{
    TraceRecorder trace;
    id presenter = recordingController("presenter"), sheet = recordingController("sheet"), other = recordingController("other");
    int completions = 0;
    id completion = makeBlock<void()>([&] { ++completions; });

    send(presenter, "presentViewController:animated:completion:", sheet, true, completion);
    EXPECT_EQ(send<id>(presenter, "presentedViewController"), sheet);
    EXPECT_EQ(send<id>(sheet, "presentingViewController"), presenter);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(lifecycle, (std::vector<std::string> { "sheet:loadView", "sheet:viewDidLoad", "sheet:viewWillAppear", "sheet:viewDidAppear" }));
    ASSERT_EQ(trace.named("view-controller-presented").size(), 1u);
    EXPECT_EQ(trace.named("view-controller-presented")[0].field("presented"), "RecordingController");

    send(presenter, "presentViewController:animated:completion:", other, true, completion);
    EXPECT_EQ(send<id>(presenter, "presentedViewController"), sheet);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(trace.named("uikit-warning").size(), 1u);

    lifecycle.clear();
    send(sheet, "dismissViewControllerAnimated:completion:", true, completion);
    EXPECT_FALSE(send<id>(presenter, "presentedViewController"));
    EXPECT_FALSE(send<id>(sheet, "presentingViewController"));
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(lifecycle, (std::vector<std::string> { "sheet:viewWillDisappear", "sheet:viewDidDisappear" }));
}

TEST_F(ViewControllerTest, TappingAnAlertButtonDismissesTheAlertThenRunsItsHandler)
{
    TraceRecorder trace;
    id presenter = recordingController("presenter");
    id alertClass = id(UIKitSupport::classNamed("UIAlertController"));
    id alert = send<id>(alertClass, "alertControllerWithTitle:message:preferredStyle:", id("IMPORTANT NOTE!"_ns), id("Read me"_ns), 1LL);
    std::vector<std::string> handled;
    bool presentedWhenHandled = true;
    id okay = send<id>(id(UIKitSupport::classNamed("UIAlertAction")), "actionWithTitle:style:handler:", id("Okay"_ns), 0LL,
        makeBlock<void(id)>([&](id action) {
            handled.push_back(UIKitSupport::stringValue(send<id>(action, "title")));
            presentedWhenHandled = static_cast<bool>(send<id>(presenter, "presentedViewController"));
        }));
    id cancel = send<id>(id(UIKitSupport::classNamed("UIAlertAction")), "actionWithTitle:style:handler:", id("Cancel"_ns), 1LL,
        makeBlock<void()>([&] { handled.push_back("cancel"); }));
    send(alert, "addAction:", okay);
    send(alert, "addAction:", cancel);
    EXPECT_EQ(send<long long>(alert, "preferredStyle"), UIAlertControllerStyleAlert);
    EXPECT_EQ(NSArray::array(alert.as<UIAlertController>()->actions())->count(), 2u);
    EXPECT_THROW(send(alert, "addAction:", nil), RuntimeError);

    send(presenter, "presentViewController:animated:completion:", alert, true, nil);
    auto presented = trace.named("view-controller-presented");
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented[0].field("title"), "IMPORTANT NOTE!");
    EXPECT_EQ(presented[0].field("message"), "Read me");
    EXPECT_EQ(presented[0].field("actions"), "Okay|Cancel");
    auto alerts = trace.named("alert");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].field("title"), "IMPORTANT NOTE!");
    EXPECT_EQ(alerts[0].field("message"), "Read me");
    EXPECT_EQ(alerts[0].field("actions"), "Okay|Cancel");
    EXPECT_EQ(alerts[0].field("styles"), "0|1");

    EXPECT_FALSE(UIAlertController::tapAction(alert, "Later"));
    EXPECT_TRUE(UIAlertController::tapAction(alert, "Okay"));
    EXPECT_EQ(handled, (std::vector<std::string> { "Okay" }));
    ASSERT_EQ(trace.named("alert-action").size(), 1u);
    EXPECT_EQ(trace.named("alert-action")[0].field("action"), "Okay");
    EXPECT_FALSE(presentedWhenHandled);
    EXPECT_FALSE(send<id>(presenter, "presentedViewController"));

    // A handler declared without the action argument is run too.
    send(presenter, "presentViewController:animated:completion:", alert, true, nil);
    EXPECT_TRUE(UIAlertController::tapAction(alert, "Cancel"));
    EXPECT_EQ(handled, (std::vector<std::string> { "Okay", "cancel" }));
}

TEST_F(ViewControllerTest, TheFirstApplicationIsTheSharedOneAndWindowsAreListed)
{
    Class application = UIKitSupport::classNamed("UIApplication");
    EXPECT_FALSE(send<id>(id(application), "sharedApplication"));
    id app = allocInit("UIApplication");
    allocInit("UIApplication");
    EXPECT_EQ(send<id>(id(application), "sharedApplication"), app);

    id window = allocInitWithFrame("UIWindow", CGRectMake(0, 0, 1, 1));
    auto windows = send<id>(app, "windows").as<NSArray>();
    EXPECT_TRUE(windows->containsObject(window));
    send(window, "makeKeyAndVisible");
    EXPECT_EQ(send<id>(app, "keyWindow"), window);
}

} // namespace
