#include "RunLoop.h"
#include "UIKit.h"
#include "UIKitSupport.h"
#include "UIKitTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using UIKitSupport::allocInit;
using UIKitSupport::allocInitWithFrame;

std::vector<std::string> calls;

std::string nameOf(const id& view)
{
    return std::to_string(send<long long>(view, "tag"));
}

// A view that records the hierarchy and layout messages it gets, by its tag.
void declareRecordingView()
{
    ClassBuilder("RecordingView", "UIView")
        .method("didMoveToWindow", [](id self, SEL) { calls.push_back("window:" + nameOf(self)); })
        .method("didMoveToSuperview", [](id self, SEL) { calls.push_back("superview:" + nameOf(self)); })
        .method("willRemoveSubview:", [](id self, SEL, id subview) { calls.push_back("remove:" + nameOf(subview) + "-from-" + nameOf(self)); })
        .method("layoutSubviews", [](id self, SEL) {
            calls.push_back("layout:" + nameOf(self));
            sendSuper(objc_getClass("RecordingView"), self, "layoutSubviews");
        });
}

id recordingView(long long tag, CGRect frame = CGRectZero)
{
    id view = allocInitWithFrame("RecordingView", frame);
    send(view, "setTag:", tag);
    return view;
}

std::vector<id> subviewsOf(const id& view)
{
    return UIView::from(view)->subviews();
}

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        objc_resetRuntimeForTesting();
        registerUIKitClasses();
        declareRecordingView();
        calls.clear();
    }
};

TEST_F(ViewTest, InsertSubviewClampsItsIndexAndMovesAViewBetweenSuperviews)
{
    id first = recordingView(1), second = recordingView(2);
    id a = recordingView(10), b = recordingView(11), c = recordingView(12);
    send(first, "addSubview:", a);
    send(first, "insertSubview:atIndex:", b, 0LL);
    send(first, "insertSubview:atIndex:", c, 99LL);
    EXPECT_EQ(subviewsOf(first), (std::vector<id> { b, a, c }));

    send(second, "insertSubview:atIndex:", a, -5LL);
    EXPECT_EQ(subviewsOf(first), (std::vector<id> { b, c }));
    EXPECT_EQ(subviewsOf(second), (std::vector<id> { a }));
    EXPECT_EQ(send<id>(a, "superview"), second);

    send(a, "removeFromSuperview");
    EXPECT_TRUE(subviewsOf(second).empty());
    EXPECT_FALSE(send<id>(a, "superview"));
}

TEST_F(ViewTest, ReorderingWithinTheSameSuperviewIsNotARemoval)
{
    id parent = recordingView(1), a = recordingView(10), b = recordingView(11);
    send(parent, "addSubview:", a);
    send(parent, "addSubview:", b);
    calls.clear();
    send(parent, "addSubview:", a);
    EXPECT_EQ(subviewsOf(parent), (std::vector<id> { b, a }));
    EXPECT_TRUE(calls.empty());
    send(parent, "bringSubviewToFront:", b);
    send(parent, "sendSubviewToBack:", a);
    EXPECT_EQ(subviewsOf(parent), (std::vector<id> { a, b }));
}

TEST_F(ViewTest, AViewCannotBecomeItsOwnDescendant)
{
    id top = recordingView(1), middle = recordingView(2);
    send(top, "addSubview:", middle);
    EXPECT_THROW(send(middle, "addSubview:", top), RuntimeError);
    EXPECT_THROW(send(top, "addSubview:", top), RuntimeError);
    EXPECT_EQ(subviewsOf(top), (std::vector<id> { middle }));
}

TEST_F(ViewTest, JoiningAWindowTellsTheViewAndEveryViewBelowItOnce)
{
    id window = allocInitWithFrame("UIWindow", CGRectMake(0, 0, 100, 100));
    id parent = recordingView(1), child = recordingView(2), grandchild = recordingView(3);
    send(parent, "addSubview:", child);
    send(child, "addSubview:", grandchild);
    calls.clear();

    send(window, "addSubview:", parent);
    EXPECT_EQ(calls, (std::vector<std::string> { "superview:1", "window:1", "window:2", "window:3" }));
    EXPECT_EQ(send<id>(grandchild, "window"), window);

    // Moving inside the same window changes no window.
    id sibling = recordingView(4);
    send(window, "addSubview:", sibling);
    calls.clear();
    send(sibling, "addSubview:", child);
    EXPECT_EQ(calls, (std::vector<std::string> { "remove:2-from-1", "superview:2" }));

    calls.clear();
    send(sibling, "removeFromSuperview");
    EXPECT_EQ(calls, (std::vector<std::string> { "superview:4", "window:4", "window:2", "window:3" }));
    EXPECT_FALSE(send<id>(grandchild, "window"));
}

TEST_F(ViewTest, LayoutRunsOnlyWhereNeededParentsFirst)
{
    id parent = recordingView(1, CGRectMake(0, 0, 100, 100)), child = recordingView(2, CGRectMake(0, 0, 10, 10));
    send(parent, "addSubview:", child);
    calls.clear();
    send(parent, "layoutIfNeeded");
    EXPECT_EQ(calls, (std::vector<std::string> { "layout:1", "layout:2" }));

    calls.clear();
    send(parent, "layoutIfNeeded");
    EXPECT_TRUE(calls.empty());

    send(child, "setFrame:", CGRectMake(5, 5, 10, 10)); // moved, same size
    send(parent, "layoutIfNeeded");
    EXPECT_TRUE(calls.empty());

    send(child, "setFrame:", CGRectMake(5, 5, 20, 10));
    send(parent, "layoutIfNeeded");
    EXPECT_EQ(calls, (std::vector<std::string> { "layout:2" }));
    EXPECT_EQ(UIView::from(child)->layoutPassCount(), 2);
}

IMP originalLayoutSubviews;
void refusingLayoutSubviews(id, SEL) { calls.push_back("replaced"); }

TEST_F(ViewTest, AReplacedLayoutSubviewsIsWhatLayoutRuns)
{
    MSHookMessageEx(objc_getClass("RecordingView"), sel("layoutSubviews"), reinterpret_cast<IMP>(&refusingLayoutSubviews), &originalLayoutSubviews);
    id view = recordingView(1, CGRectMake(0, 0, 10, 10));
    send(view, "layoutIfNeeded");
    EXPECT_EQ(calls, (std::vector<std::string> { "replaced" }));
    EXPECT_EQ(UIView::from(view)->layoutPassCount(), 0);
}

TEST_F(ViewTest, GeometryCenterBoundsAndClipping)
{
    id view = allocInitWithFrame("UIView", CGRectMake(10, 20, 100, 50));
    EXPECT_EQ(send<CGPoint>(view, "center"), CGPointMake(60, 45));
    send(view, "setCenter:", CGPointMake(0, 0));
    EXPECT_EQ(send<CGRect>(view, "frame"), CGRectMake(-50, -25, 100, 50));
    EXPECT_EQ(send<CGRect>(view, "bounds"), CGRectMake(0, 0, 100, 50));
    send(view, "setBounds:", CGRectMake(0, 0, 20, 10));
    EXPECT_EQ(send<CGRect>(view, "frame"), CGRectMake(-10, -5, 20, 10));

    EXPECT_FALSE(send<bool>(view, "clipsToBounds"));
    send(view, "setClipsToBounds:", true);
    EXPECT_TRUE(send<bool>(send<id>(view, "layer"), "masksToBounds"));
    send(send<id>(view, "layer"), "setCornerRadius:", 5.0);
    EXPECT_EQ(send<double>(send<id>(view, "layer"), "cornerRadius"), 5.0);
    EXPECT_EQ(send<id>(send<id>(UIKitSupport::classNamed("UIView"), "alloc"), "init").as<UIView>()->frame(), CGRectZero);
}

TEST_F(ViewTest, StackViewArrangesItsViewsAndForgetsTheOnesThatLeave)
{
    id stack = allocInitWithFrame("UIStackView", CGRectMake(0, 0, 200, 500));
    send(stack, "setAxis:", 1LL);
    send(stack, "setSpacing:", 10.0);
    id a = allocInitWithFrame("UIView", CGRectMake(0, 0, 50, 30));
    id b = allocInitWithFrame("UIView", CGRectMake(0, 0, 50, 40));
    id panel = allocInitWithFrame("UIView", CGRectMake(0, 0, 50, 60));
    send(stack, "addArrangedSubview:", a);
    send(stack, "addArrangedSubview:", b);
    send(stack, "insertArrangedSubview:atIndex:", panel, 0ULL);
    auto stackView = stack.as<UIStackView>();
    ASSERT_TRUE(stackView);
    EXPECT_EQ(stackView->arrangedSubviews(), (std::vector<id> { panel, a, b }));
    EXPECT_EQ(send<id>(panel, "superview"), stack);

    // Inserting an arranged view again moves it; it stays arranged once.
    send(stack, "insertArrangedSubview:atIndex:", b, 0ULL);
    EXPECT_EQ(stackView->arrangedSubviews(), (std::vector<id> { b, panel, a }));

    send(a, "setHidden:", true);
    send(stack, "layoutIfNeeded");
    EXPECT_EQ(send<CGRect>(b, "frame"), CGRectMake(0, 0, 200, 40));
    EXPECT_EQ(send<CGRect>(panel, "frame"), CGRectMake(0, 50, 200, 60));

    send(panel, "removeFromSuperview");
    EXPECT_EQ(stackView->arrangedSubviews(), (std::vector<id> { b, a }));
    send(stack, "removeArrangedSubview:", b);
    EXPECT_EQ(stackView->arrangedSubviews(), (std::vector<id> { a }));
    EXPECT_EQ(send<id>(b, "superview"), stack);
}

int actionsRun;
id lastSender;

void declareTapTarget(bool refuseGestures)
{
    ClassBuilder("TapTarget", "UIView")
        .method("showAction", [](id, SEL) { ++actionsRun; })
        .method("tapped:", [](id, SEL, id sender) {
            ++actionsRun;
            lastSender = sender;
        })
        .method("gestureRecognizerShouldBegin:", refuseGestures ? +[](id, SEL, id) -> bool { return false; } : +[](id, SEL, id) -> bool { return true; });
}

id tapRecognizer(const id& target, const char* action, unsigned long long taps)
{
    id recognizer = send<id>(send<id>(UIKitSupport::classNamed("UITapGestureRecognizer"), "alloc"), "initWithTarget:action:", target, sel(action));
    send(recognizer, "setNumberOfTapsRequired:", taps);
    return recognizer;
}

TEST_F(ViewTest, ATapFiresOnlyTheRecognizerForThatManyTaps)
{
    declareTapTarget(false);
    actionsRun = 0;
    id view = allocInitWithFrame("TapTarget", CGRectMake(0, 0, 10, 10));
    send(view, "addGestureRecognizer:", tapRecognizer(view, "showAction", 2));

    EXPECT_FALSE(UITapGestureRecognizer::tap(view, 1));
    EXPECT_EQ(actionsRun, 0);
    EXPECT_TRUE(UITapGestureRecognizer::tap(view, 2));
    EXPECT_EQ(actionsRun, 1);
}

TEST_F(ViewTest, ATapReachesAncestorsButNotThroughHiddenOrInertViews)
{
    declareTapTarget(false);
    actionsRun = 0;
    lastSender = nil;
    id parent = allocInitWithFrame("TapTarget", CGRectMake(0, 0, 10, 10));
    id child = allocInitWithFrame("UIView", CGRectMake(0, 0, 10, 10));
    send(parent, "addSubview:", child);
    id recognizer = tapRecognizer(parent, "tapped:", 1);
    send(parent, "addGestureRecognizer:", recognizer);

    EXPECT_TRUE(UITapGestureRecognizer::tap(child, 1));
    EXPECT_EQ(lastSender, recognizer);
    EXPECT_EQ(send<id>(recognizer, "view"), parent);

    send(parent, "setHidden:", true);
    EXPECT_FALSE(UITapGestureRecognizer::tap(child, 1));
    send(parent, "setHidden:", false);
    send(child, "setUserInteractionEnabled:", false);
    EXPECT_FALSE(UITapGestureRecognizer::tap(child, 1));
    EXPECT_EQ(actionsRun, 1);
}

TEST_F(ViewTest, AViewThatRefusesTheGestureGetsNoAction)
{
    declareTapTarget(true);
    actionsRun = 0;
    id view = allocInitWithFrame("TapTarget", CGRectMake(0, 0, 10, 10));
    id recognizer = tapRecognizer(view, "showAction", 1);
    send(view, "addGestureRecognizer:", recognizer);
    EXPECT_FALSE(UITapGestureRecognizer::tap(view, 1));
    EXPECT_EQ(actionsRun, 0);
    EXPECT_EQ(send<long long>(recognizer, "state"), UIGestureRecognizer::Possible);
}

TEST_F(ViewTest, ARecognizerOutlivingItsViewIsDetached)
{
    declareTapTarget(false);
    actionsRun = 0;
    id recognizer;
    {
        id view = allocInitWithFrame("TapTarget", CGRectMake(0, 0, 10, 10));
        recognizer = tapRecognizer(view, "showAction", 1);
        send(view, "addGestureRecognizer:", recognizer);
    }
    EXPECT_FALSE(send<id>(recognizer, "view"));
    EXPECT_FALSE(UIGestureRecognizer::fire(recognizer));
    EXPECT_EQ(actionsRun, 0);
}

TEST_F(ViewTest, ScrollViewsHaveTheirOwnPanRecognizer)
{
    id scrollView = allocInitWithFrame("UIScrollView", CGRectMake(0, 0, 10, 10));
    id pan = send<id>(scrollView, "panGestureRecognizer");
    ASSERT_TRUE(pan);
    EXPECT_EQ(UIView::from(scrollView)->gestureRecognizers(), (std::vector<id> { pan }));
    EXPECT_TRUE(UIGestureRecognizer::fire(pan));
}

} // namespace

namespace {

class AnimationTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        RunLoop::main().resetForTesting();
        RunLoop::main().useVirtualClock();
    }
    void TearDown() override { RunLoop::main().resetForTesting(); }
};

TEST_F(AnimationTest, AnimationsApplyAtOnceInOrderAndCompleteAfterTheDurationOnTheMainClock)
{
    TraceRecorder trace;
    id view = allocInitWithFrame("UIView", CGRectMake(0, 0, 10, 10));
    EXPECT_TRUE(CGAffineTransformIsIdentity(send<CGAffineTransform>(view, "transform")));
    std::vector<bool> completions;
    send(id(objc_getClass("UIView")), "transitionWithView:duration:options:animations:completion:", view, 0.3, 0ULL,
        makeBlock<void()>([view] {
            send(view, "setTransform:", CGAffineTransformMakeScale(0.5, 0.5));
            send(view, "setTransform:", CGAffineTransformMakeScale(2, 2));
            send(view, "setAlpha:", 0.25);
        }),
        makeBlock<void(bool)>([&](bool finished) { completions.push_back(finished); }));
    EXPECT_EQ(send<CGAffineTransform>(view, "transform"), CGAffineTransformMakeScale(2, 2));
    EXPECT_EQ(send<double>(view, "alpha"), 0.25);
    EXPECT_EQ(send<CGRect>(view, "frame"), CGRectMake(0, 0, 10, 10)) << "the transform does not move the frame";
    RunLoop::main().advanceBy(Seconds(0.29));
    EXPECT_TRUE(completions.empty());
    RunLoop::main().advanceBy(Seconds(0.02));
    EXPECT_EQ(completions, std::vector<bool> { true });
    ASSERT_EQ(trace.named("view-animation").size(), 1u);
    EXPECT_EQ(trace.named("view-animation")[0].field("kind"), "transition");
    EXPECT_EQ(trace.named("view-animation")[0].field("view"), "UIView");

    // Without a completion, and with a completion that takes nothing.
    send(id(objc_getClass("UIView")), "animateWithDuration:animations:", 0.5, makeBlock<void()>([view] { send(view, "setAlpha:", 1.0); }));
    EXPECT_EQ(send<double>(view, "alpha"), 1.0);
    int plain = 0;
    send(id(objc_getClass("UIView")), "animateWithDuration:animations:completion:", 0.0, makeBlock<void()>([] { }),
        makeBlock<void()>([&] { ++plain; }));
    EXPECT_EQ(plain, 0) << "even a zero duration completes on the main queue, not inside the call";
    RunLoop::main().advanceBy(Seconds(0));
    EXPECT_EQ(plain, 1);
}

TEST_F(ViewTest, ATouchReachesOnlyAVisibleOpaqueInteractiveViewInAShownWindow)
{
    id window = allocInitWithFrame("UIWindow", CGRectMake(0, 0, 100, 100));
    id parent = allocInitWithFrame("UIView", CGRectMake(0, 0, 50, 50));
    id child = allocInitWithFrame("UIView", CGRectMake(0, 0, 10, 10));
    send(parent, "addSubview:", child);
    EXPECT_FALSE(UIView::from(child)->receivesTouches()) << "in no window";
    send(window, "addSubview:", parent);
    EXPECT_FALSE(UIView::from(child)->receivesTouches()) << "the window is hidden";
    send(window, "setHidden:", false);
    EXPECT_TRUE(UIView::from(child)->receivesTouches());
    send(parent, "setAlpha:", 0.009);
    EXPECT_FALSE(UIView::from(child)->receivesTouches());
    send(parent, "setAlpha:", 0.01);
    EXPECT_TRUE(UIView::from(child)->receivesTouches());
    send(child, "setUserInteractionEnabled:", false);
    EXPECT_FALSE(UIView::from(child)->receivesTouches());
}

} // namespace
