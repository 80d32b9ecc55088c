// A finger at a point of the screen: what the picture shows there is what it reaches.
#include "DeviceUser.h"
#include "ScreenLayout.h"
#include "ScreenTouch.h"
#include "SpringBoardTestSupport.h"

#include <string>
#include <vector>

namespace {

using UIKitSupport::allocInit;
using UIKitSupport::allocInitWithFrame;

std::vector<std::string> received;

class ScreenTouchTest : public SpringBoardTest {
protected:
    void SetUp() override
    {
        registerVersion(14);
        received.clear();
        ClassBuilder("TouchTarget", "NSObject")
            .method("tapped:", [](id, SEL, id sender) { received.push_back(std::string("button ") + std::to_string(send<long long>(sender, "tag"))); })
            .method("doubleTapped", [](id, SEL) { received.push_back("double tap"); });
        m_target = allocInit("TouchTarget");
    }

    // A 100x60 button at (x, y) in the lock screen's root view, tagged `tag`.
    id addButton(SpringBoardApp& app, double x, double y, long long tag)
    {
        id button = allocInitWithFrame("UIButton", CGRectMake(x, y, 100, 60));
        send(button, "setTag:", tag);
        send(button, "addTarget:action:forControlEvents:", m_target, sel("tapped:"), 64ULL);
        send(send<id>(app.coverSheetViewController(), "view"), "addSubview:", button);
        return button;
    }

    // An alert on the lock screen's controller, or on `presenter`.
    void presentAlert(SpringBoardApp& app, id presenter = nil)
    {
        id alert = send<id>(id(UIKitSupport::classNamed("UIAlertController")), "alertControllerWithTitle:message:preferredStyle:",
            id("Kavlor"_ns), id("Start?"_ns), 1LL);
        for (const char* title : { "YES", "NO" }) {
            std::string name = title;
            send(alert, "addAction:", send<id>(id(UIKitSupport::classNamed("UIAlertAction")), "actionWithTitle:style:handler:",
                id(NSString::string(name)), 0LL, makeBlock<void()>([name] { received.push_back("alert " + name); })));
        }
        send(presenter ? presenter : app.coverSheetViewController(), "presentViewController:animated:completion:", alert, false, nil);
    }

    static CGPoint centre(CGRect rect) { return { CGRectGetMidX(rect), CGRectGetMidY(rect) }; }

    id m_target;
};

TEST_F(ScreenTouchTest, TheFrontmostTouchableViewUnderThePointGetsTheTap)
{
    SpringBoardApp& app = SpringBoardApp::launch();
    addButton(app, 20, 300, 1);
    id front = addButton(app, 60, 320, 2);   // overlaps the first, in front of it
    ScreenTouch touch(app);

    EXPECT_EQ(touch.touch({ 30, 310 }, 1).value("reached", ""), "button");
    EXPECT_EQ(touch.touch({ 100, 340 }, 1).value("view", ""), "UIButton");
    EXPECT_EQ(received, (std::vector<std::string> { "button 1", "button 2" }));

    // Hidden, transparent or closed to touches: the touch goes to what lies behind.
    received.clear();
    send(front, "setAlpha:", 0.0);
    touch.touch({ 100, 340 }, 1);
    send(front, "setAlpha:", 1.0);
    send(front, "setUserInteractionEnabled:", false);
    touch.touch({ 100, 340 }, 1);
    EXPECT_EQ(received, (std::vector<std::string> { "button 1", "button 1" }));

    // Beside every button: the lock screen's own recognizers see one tap and let it go.
    received.clear();
    auto beside = touch.touch({ 300, 700 }, 1);
    EXPECT_NE(beside.value("reached", ""), "button");
    EXPECT_FALSE(beside.value("recognized", false));
    EXPECT_TRUE(received.empty());
}

TEST_F(ScreenTouchTest, ADoubleTapReachesTheRecognizerThatAsksForTwoTaps)
{
    SpringBoardApp& app = SpringBoardApp::launch();
    id scrollView = app.lockScreenScrollView();
    ASSERT_TRUE(scrollView);
    id recognizer = send<id>(send<id>(UIKitSupport::classNamed("UITapGestureRecognizer"), "alloc"), "initWithTarget:action:", m_target, sel("doubleTapped"));
    send(recognizer, "setNumberOfTapsRequired:", 2ULL);
    send(scrollView, "addGestureRecognizer:", recognizer);
    app.runLayoutPass();
    CGRect frame = send<CGRect>(scrollView, "frame");
    CGPoint inside { frame.origin.x + frame.size.width / 2, frame.origin.y + frame.size.height / 2 };
    ScreenTouch touch(app);

    auto once = touch.touch(inside, 1);
    EXPECT_EQ(once.value("reached", ""), "gesture");
    EXPECT_FALSE(once.value("recognized", true));
    EXPECT_TRUE(received.empty());
    EXPECT_TRUE(touch.touch(inside, 2).value("recognized", false));
    EXPECT_EQ(received, (std::vector<std::string> { "double tap" }));
}

TEST_F(ScreenTouchTest, AnAlertTakesTheTouchOnTheButtonDrawnUnderIt)
{
    SpringBoardApp& app = SpringBoardApp::launch();
    addButton(app, 0, 0, 1);
    presentAlert(app);
    ScreenTouch touch(app);
    auto place = ScreenLayout::alertPlace(app.presentedAlert(), send<CGRect>(UIScreen::mainScreen(), "bounds").size);
    ASSERT_EQ(place.buttons.size(), 2u);

    // The alert is modal: its message, and the button behind the dimmed screen, take nothing.
    EXPECT_EQ(touch.touch(centre(place.message), 1).value("reached", ""), "nothing");
    EXPECT_EQ(touch.touch({ 10, 10 }, 1).value("reached", ""), "nothing");
    EXPECT_TRUE(received.empty());

    auto reply = touch.touch(centre(place.buttons[1]), 1);
    EXPECT_EQ(reply.value("reached", ""), "alert-button");
    EXPECT_EQ(reply.value("title", ""), "NO");
    EXPECT_EQ(received, (std::vector<std::string> { "alert NO" }));
    EXPECT_FALSE(app.presentedAlert());
}

TEST_F(ScreenTouchTest, AnIconOnTheHomeScreenOpensItsAppOnlyOnceTheLockScreenIsGone)
{
    writeIconState({ { "com.apple.mobilecal", "com.apple.mobilesafari" } }, { "com.apple.mobilephone" });
    SpringBoardApp& app = SpringBoardApp::launch();
    TraceRecorder trace;
    ScreenTouch touch(app);
    id folder = app.rootFolderView();
    auto places = ScreenLayout::homeScreenIcons(folder, send<CGRect>(folder, "bounds").size);
    ASSERT_EQ(places.size(), 3u);
    CGPoint safari = centre(places[1].square);
    CGPoint phone = centre(places[2].square);
    ASSERT_TRUE(places[2].inDock);

    // The lock screen covers the icons.
    EXPECT_NE(touch.touch(safari, 1).value("reached", ""), "icon");
    EXPECT_TRUE(trace.named("process-launched").empty());

    send(app.lockScreenWindow(), "setHidden:", true);
    auto reply = touch.touch(safari, 1);
    EXPECT_EQ(reply.value("reached", ""), "icon");
    EXPECT_EQ(reply.value("bundleIdentifier", ""), "com.apple.mobilesafari");
    auto launched = trace.named("process-launched");
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].field("name"), "MobileSafari");

    DeviceUser(app).goHome();
    EXPECT_EQ(touch.touch(phone, 1).value("bundleIdentifier", ""), "com.apple.mobilephone");
    // Between two icons of the grid: nothing opens.
    CGPoint between { (places[0].square.origin.x + places[0].square.size.width + places[1].square.origin.x) / 2, safari.y };
    EXPECT_EQ(touch.touch(between, 1).value("reached", ""), "nothing");
    EXPECT_EQ(trace.named("process-launched").size(), 2u);
}

TEST_F(ScreenTouchTest, TextIsLocatedOnlyWhereAFingerReachesIt)
{
    writeIconState({ { "com.apple.mobilecal" } }, {});
    SpringBoardApp& app = SpringBoardApp::launch();
    id button = addButton(app, 40, 200, 1);
    id label = allocInitWithFrame("UILabel", CGRectMake(10, 10, 80, 20));
    send(label, "setText:", "Emma"_ns);
    send(button, "addSubview:", label);
    ScreenTouch touch(app);

    auto found = touch.locate("Emma");
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, CGRectMake(50, 210, 80, 20));
    touch.touch({ found->origin.x + 40, found->origin.y + 10 }, 1);
    EXPECT_EQ(received, (std::vector<std::string> { "button 1" }));

    // Under the lock screen, the home screen's icons are not reached; a hidden label is not shown.
    EXPECT_FALSE(touch.locate("Calendar"));
    send(label, "setHidden:", true);
    EXPECT_FALSE(touch.locate("Emma"));
    send(app.lockScreenWindow(), "setHidden:", true);
    EXPECT_TRUE(touch.locate("Calendar"));
    EXPECT_FALSE(touch.locate("Safari"));

    presentAlert(app, app.iconController());
    EXPECT_FALSE(touch.locate("Calendar"));
    auto yes = touch.locate("YES");
    ASSERT_TRUE(yes);
    touch.touch({ yes->origin.x + 5, yes->origin.y + 5 }, 1);
    EXPECT_EQ(received.back(), "alert YES");
}

} // namespace
