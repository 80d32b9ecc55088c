// What the screen shows changed: every setter of drawn state marks it, only for a real
// change, and a listener hears of one turn's marks once, after the turn.

#include "RunLoop.h"
#include "ScreenChanges.h"
#include "UIKit.h"
#include "UIKitSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using UIKitSupport::allocInit;
using UIKitSupport::allocInitWithFrame;

class ScreenChangesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        objc_resetRuntimeForTesting();
        registerUIKitClasses();
        RunLoop::main().resetForTesting();
        ScreenChanges::setListener({});
    }
    void TearDown() override
    {
        ScreenChanges::setListener({});
        RunLoop::main().resetForTesting();
    }
};

TEST_F(ScreenChangesTest, EachDrawnPropertyMarksTheScreenOnlyWhenItsValueChanges)
{
    id window = allocInitWithFrame("UIWindow", CGRectMake(0, 0, 375, 812));
    id view = allocInitWithFrame("UIView", CGRectMake(0, 0, 10, 10));
    id other = allocInitWithFrame("UIView", CGRectZero);
    id label = allocInitWithFrame("UILabel", CGRectZero);
    id imageView = allocInitWithFrame("UIImageView", CGRectZero);
    id text = NSString::string("5:02");
    id red = send<id>(objc_getClass("UIColor"), "redColor");
    id image = UIImage::imageWithCGImage(CGImage::create(Bitmap::transparent(4, 2)));
    struct Case {
        std::string what;
        std::function<void()> change;
    };
    std::vector<Case> cases {
        { "a frame", [&] { send(view, "setFrame:", CGRectMake(5, 5, 20, 20)); } },
        { "a centre", [&] { send(view, "setCenter:", CGPoint { 40, 40 }); } },
        { "an alpha", [&] { send(view, "setAlpha:", 0.5); } },
        { "hidden", [&] { send(view, "setHidden:", true); } },
        { "a background colour", [&] { send(view, "setBackgroundColor:", red); } },
        { "a transform", [&] { send(view, "setTransform:", CGAffineTransform { 2, 0, 0, 2, 0, 0 }); } },
        { "a corner radius", [&] { send(send<id>(view, "layer"), "setCornerRadius:", 8.0); } },
        { "a border colour", [&] { send(send<id>(view, "layer"), "setBorderColor:", red); } },
        { "a label's text", [&] { send(label, "setText:", text); } },
        { "a label's colour", [&] { send(label, "setTextColor:", red); } },
        { "a label's alignment", [&] { send(label, "setTextAlignment:", 1LL); } },
        { "an image", [&] { send(imageView, "setImage:", id(image)); } },
        { "a subview added", [&] { send(view, "addSubview:", other); } },
        { "a second subview added", [&] { send(view, "addSubview:", label); } },
        { "a subview brought to the front", [&] { send(view, "bringSubviewToFront:", other); } },
        { "a subview removed", [&] { send(other, "removeFromSuperview"); } },
        { "a window shown", [&] { send(window, "setHidden:", false); } },
        { "a window's level", [&] { send(window, "setWindowLevel:", 1000.0); } },
        { "the appearance", [&] { UITraitCollection::setUserInterfaceStyle(UIUserInterfaceStyleDark); } },
    };
    for (const auto& testCase : cases) {
        auto before = ScreenChanges::count();
        testCase.change();
        EXPECT_GT(ScreenChanges::count(), before) << testCase.what << " changed";
        before = ScreenChanges::count();
        testCase.change();
        EXPECT_EQ(ScreenChanges::count(), before) << testCase.what << " set again to the same value";
    }
}

TEST_F(ScreenChangesTest, AListenerHearsOfOneTurnsMarksOnceAfterTheTurn)
{
    int heard = 0;
    ScreenChanges::setListener([&] { ++heard; });
    id label = allocInitWithFrame("UILabel", CGRectZero);
    send(label, "setText:", id(NSString::string("5:02")));
    send(label, "setAlpha:", 1.0 / 3);
    send(label, "setHidden:", true);
    EXPECT_EQ(heard, 0) << "never from inside a setter";
    RunLoop::main().drainPending();
    EXPECT_EQ(heard, 1);
    RunLoop::main().drainPending();
    EXPECT_EQ(heard, 1) << "nothing changed since";
    send(label, "setText:", id(NSString::string("5:01")));
    RunLoop::main().drainPending();
    EXPECT_EQ(heard, 2);
}

TEST_F(ScreenChangesTest, WithoutAListenerAMarkOnlyCounts)
{
    id label = allocInitWithFrame("UILabel", CGRectZero);
    auto before = ScreenChanges::count();
    send(label, "setText:", id(NSString::string("5:02")));
    EXPECT_EQ(ScreenChanges::count(), before + 1);
    EXPECT_EQ(RunLoop::main().queuedBlockCount(), 0u);
}

} // namespace
