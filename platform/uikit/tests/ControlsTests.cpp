#include "UIKit.h"
#include "UIKitSupport.h"
#include "UIKitTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using UIKitSupport::allocInit;
using UIKitSupport::allocInitWithFrame;

long long itemCount = 0;
long long cellsMade = 0;
std::vector<std::string> received;

// A data source and delegate, answering by selector as an app's would.
void declareTestClasses()
{
    ClassBuilder("CountingCell", "UICollectionViewCell")
        .method("initWithFrame:", [](id self, SEL, CGRect frame) -> id {
            ++cellsMade;
            return sendSuper<id>(objc_getClass("CountingCell"), self, "initWithFrame:", frame);
        });
    ClassBuilder("Source", "NSObject")
        .method("collectionView:numberOfItemsInSection:", [](id, SEL, id, long long) -> long long { return itemCount; })
        .method("collectionView:layout:sizeForItemAtIndexPath:", [](id, SEL, id, id, id) -> CGSize { return { 90, 90 }; })
        .method("collectionView:cellForItemAtIndexPath:", [](id, SEL, id collection, id indexPath) -> id {
            id cell = send<id>(collection, "dequeueReusableCellWithReuseIdentifier:forIndexPath:", "Cell"_ns, indexPath);
            send(cell, "setTag:", send<long long>(indexPath, "item"));
            return cell;
        })
        .method("collectionView:didSelectItemAtIndexPath:", [](id, SEL, id, id indexPath) {
            received.push_back("selected " + std::to_string(send<long long>(indexPath, "item")));
        })
        .method("tapped:", [](id, SEL, id sender) { received.push_back(std::string("tapped by ") + object_getClassName(sender)); })
        .method("traitCollectionDidChange:", [](id, SEL, id previous) {
            received.push_back("traits were " + std::to_string(send<long long>(previous, "userInterfaceStyle")));
        });
    ClassBuilder("TraitView", "UIView").method("traitCollectionDidChange:", [](id self, SEL, id previous) {
        received.push_back(std::to_string(send<long long>(self, "tag")) + " saw " + std::to_string(send<long long>(previous, "userInterfaceStyle")));
    });
}

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        objc_resetRuntimeForTesting();
        registerUIKitClasses();
        declareTestClasses();
        itemCount = 0;
        cellsMade = 0;
        received.clear();
    }
};

std::vector<CGRect> cellFrames(const id& collection)
{
    std::vector<CGRect> frames;
    for (const auto& cell : collection.as<UICollectionView>()->visibleCells())
        frames.push_back(send<CGRect>(cell, "frame"));
    return frames;
}

TEST_F(ControlsTest, AHorizontalFlowShowsTheVisibleItemsInOrderAndReusesCells)
{
    id layout = allocInit("UICollectionViewFlowLayout");
    send(layout, "setScrollDirection:", 1LL);
    id collection = send<id>(send<id>(UIKitSupport::classNamed("UICollectionView"), "alloc"), "initWithFrame:collectionViewLayout:",
        CGRectMake(0, 0, 300, 100), layout);
    send(collection, "registerClass:forCellWithReuseIdentifier:", objc_getClass("CountingCell"), "Cell"_ns);
    id source = allocInit("Source");
    send(collection, "setDataSource:", source);
    send(collection, "setDelegate:", source);
    itemCount = 5;
    send(collection, "layoutIfNeeded");

    // One item a column (two do not fit 100 points), centred across; columns 10 apart.
    EXPECT_EQ(cellFrames(collection), (std::vector<CGRect> { CGRectMake(0, 5, 90, 90), CGRectMake(100, 5, 90, 90), CGRectMake(200, 5, 90, 90) }));
    EXPECT_EQ(send<CGSize>(collection, "contentSize"), CGSizeMake(490, 100));
    EXPECT_EQ(cellsMade, 3);
    id first = collection.as<UICollectionView>()->cellForItem(0, 0);
    EXPECT_EQ(send<long long>(first, "tag"), 0);
    EXPECT_EQ(send<CGRect>(send<id>(first, "contentView"), "frame"), CGRectMake(0, 0, 90, 90));

    // Scrolled: item 0 leaves, 3 comes in on its cell, 4 on a new one.
    send(collection, "setContentOffset:", CGPointMake(150, 0));
    send(collection, "setNeedsLayout");
    send(collection, "layoutIfNeeded");
    std::vector<long long> tags;
    for (const auto& cell : collection.as<UICollectionView>()->visibleCells())
        tags.push_back(send<long long>(cell, "tag"));
    EXPECT_EQ(tags, (std::vector<long long> { 1, 2, 3, 4 }));
    EXPECT_EQ(cellsMade, 4);
    EXPECT_EQ(collection.as<UICollectionView>()->cellForItem(3, 0), first);

    collection.as<UICollectionView>()->selectItemAtIndexPath(NSIndexPath::indexPath(3, 0));
    EXPECT_EQ(received, (std::vector<std::string> { "selected 3" }));
    EXPECT_THROW(send<id>(collection, "dequeueReusableCellWithReuseIdentifier:forIndexPath:", "Other"_ns, NSIndexPath::indexPath(0, 0)),
        RuntimeError);
    send(collection, "setDataSource:", nil);
}

TEST_F(ControlsTest, AFlowLayoutSpreadsFullLinesAndPacksTheLastOne)
{
    id layout = allocInit("UICollectionViewFlowLayout");
    auto& flow = *layout.as<UICollectionViewFlowLayout>();
    // Vertical: rows of 3 in 200 points; the full row is spread edge to edge.
    auto placement = flow.place({ { { 50, 50 }, { 50, 50 }, { 50, 50 }, { 50, 40 }, { 50, 40 } } }, CGSizeMake(200, 500));
    const auto& frames = placement.frames[0];
    EXPECT_EQ(frames[0], CGRectMake(0, 0, 50, 50));
    EXPECT_EQ(frames[1], CGRectMake(75, 0, 50, 50));
    EXPECT_EQ(frames[2], CGRectMake(150, 0, 50, 50));
    EXPECT_EQ(frames[3], CGRectMake(0, 60, 50, 40));
    EXPECT_EQ(frames[4], CGRectMake(60, 60, 50, 40));
    EXPECT_EQ(placement.contentSize, CGSizeMake(200, 100));
}

TEST_F(ControlsTest, ButtonsKeepImagesPerStateAndSendTheirActions)
{
    id button = allocInitWithFrame("UIButton", CGRectZero);
    id image = UIImage::imageWithCGImage(CGImage::create(Bitmap::transparent(4, 2)));
    id templateImage = send<id>(image, "imageWithRenderingMode:", 2LL);
    send(button, "setImage:forState:", templateImage, 0ULL);
    EXPECT_EQ(send<id>(button, "imageForState:", 4ULL), templateImage); // falls back on normal
    EXPECT_EQ(send<long long>(send<id>(button, "currentImage"), "renderingMode"), 2);
    send(button, "setImageEdgeInsets:", UIEdgeInsetsMake(2, 2, 2, 2));
    EXPECT_EQ(send<UIEdgeInsets>(button, "imageEdgeInsets"), UIEdgeInsetsMake(2, 2, 2, 2));
    EXPECT_EQ(send<CGSize>(button, "intrinsicContentSize"), CGSizeMake(4, 2));

    id red = send<id>(UIKitSupport::classNamed("UIColor"), "redColor");
    id container = allocInitWithFrame("UIView", CGRectZero);
    send(container, "setTintColor:", red);
    send(container, "addSubview:", button);
    EXPECT_EQ(send<id>(button, "tintColor"), red); // inherited until it has its own

    id target = allocInit("Source");
    send(button, "addTarget:action:forControlEvents:", target, sel("tapped:"), 64ULL);
    send(button, "sendActionsForControlEvents:", 1ULL);
    EXPECT_TRUE(received.empty());
    send(button, "sendActionsForControlEvents:", 64ULL);
    EXPECT_EQ(received, (std::vector<std::string> { "tapped by UIButton" }));
}

TEST_F(ControlsTest, AnAppearanceChangeReachesEveryViewOfEveryWindowOnce)
{
    id window = allocInitWithFrame("UIWindow", CGRectMake(0, 0, 100, 100));
    id outer = allocInitWithFrame("TraitView", CGRectZero);
    id inner = allocInitWithFrame("TraitView", CGRectZero);
    send(outer, "setTag:", 1LL);
    send(inner, "setTag:", 2LL);
    send(window, "addSubview:", outer);
    send(outer, "addSubview:", inner);
    id traits = send<id>(UIKitSupport::classNamed("UITraitCollection"), "currentTraitCollection");
    EXPECT_EQ(send<long long>(traits, "userInterfaceStyle"), 1);

    UITraitCollection::setUserInterfaceStyle(UIUserInterfaceStyleDark);
    UITraitCollection::setUserInterfaceStyle(UIUserInterfaceStyleDark); // no change, no message
    EXPECT_EQ(received, (std::vector<std::string> { "1 saw 1", "2 saw 1" }));
    EXPECT_EQ(send<long long>(send<id>(inner, "traitCollection"), "userInterfaceStyle"), 2);
}

TEST_F(ControlsTest, AnEffectViewHoldsItsBlurAndContent)
{
    id effect = send<id>(UIKitSupport::classNamed("UIBlurEffect"), "effectWithStyle:", 2LL);
    id effectView = send<id>(send<id>(UIKitSupport::classNamed("UIVisualEffectView"), "alloc"), "initWithEffect:", effect);
    EXPECT_EQ(send<long long>(send<id>(effectView, "effect"), "style"), 2);
    send(effectView, "setFrame:", CGRectMake(0, 0, 40, 30));
    EXPECT_EQ(send<CGRect>(send<id>(effectView, "contentView"), "frame"), CGRectMake(0, 0, 40, 30));
}

TEST_F(ControlsTest, ALegacyDeviceDoesNotAnswerTheIdiom)
{
    TemporaryDeviceRoot root;
    root.writeDeviceConfiguration({ { "idiom", "legacy"_ns } });
    objc_resetRuntimeForTesting();
    registerUIKitClasses();
    id device = send<id>(UIKitSupport::classNamed("UIDevice"), "currentDevice");
    EXPECT_FALSE(respondsToSelector(device, "userInterfaceIdiom"));
    EXPECT_TRUE(send<id>(device, "model").as<NSString>()->isEqualToString("iPhone"));
    EXPECT_EQ(send<CGRect>(send<id>(UIKitSupport::classNamed("UIScreen"), "mainScreen"), "bounds").size.width, 375);
}

} // namespace
