#include "FeatureBlocks.h"
#include "RestrictionSpringBoardTest.h"

#include "BBBulletin.h"
#include "UIColor.h"
#include "UILabel.h"

namespace {

using enum BlockPattern;

// What each row must do, written down apart from the library's own table.
struct ExpectedRow {
    const char* className;
    const char* selector;
    const char* toggle;
    BlockPattern pattern;
};
const std::vector<ExpectedRow> kExpected {
    { "SBControlCenterController", "_shouldAllowControlCenterGesture", "0", Guard },
    { "BBServer", "publishBulletin:destinations:", "1", Guard },
    { "SBSearchScrollView", "gestureRecognizerShouldBegin:", "2", Guard },
    { "SBSearchBar", "layoutSubviews", "2", HideAfter },
    { "SBTodayViewController", "viewDidLoad", "3", HideAfter },
    { "SBHLibrarySearchController", "searchBarShouldBeginEditing:", nullptr, Fixed },
    { "_SBHIconLibraryTableView", "layoutSubviews", nullptr, Fixed },
    { "SBRootFolderView", "_minusPageCount", "3", Guard },
    { "SBRootFolderView", "_layoutSubviewsForTodayView", "3", HideAfter },
    { "SBRootFolderView", "beginPageStateTransitionToState:animated:interactive:", "3", Guard },
    { "WGWidgetWrapperView", "layoutSubviews", "3", HideAfter },
    { "WGWidgetListFooterView", "didMoveToWindow", "3", HideAfter },
    { "SBMainDisplayPolicyAggregator", "_allowsCapabilityLockScreenTodayViewWithExplanation:", "3", Guard },
    { "SBMainDisplayPolicyAggregator", "_allowsCapabilityTodayViewWithExplanation:", "3", Guard },
    { "SBMainDisplayPolicyAggregator", "_allowsCapabilityLockScreenCameraWithExplanation:", nullptr, Fixed },
    { "SBMainDisplayPolicyAggregator", "_allowsCapabilityLockScreenCameraSupportedWithExplanation:", nullptr, Fixed },
    { "SBIconController", "iconCloseBoxTapped:", "4", Guard },
};

const FeatureBlock* rowFor(const ExpectedRow& expected)
{
    for (const auto& row : kFeatureBlocks) {
        if (std::string_view(row.className) == expected.className && std::string_view(row.selector) == expected.selector)
            return &row;
    }
    return nullptr;
}

Id<NSDictionary> recordWith(id toggleData)
{
    auto record = NSDictionary::mutableDictionary({ { "UserName", "Guest"_ns } });
    if (toggleData)
        record->setObject(toggleData, "toggleData");
    return record;
}

Id<NSDictionary> togglesExcept(const char* left)
{
    auto toggles = NSDictionary::mutableDictionary();
    for (const char* index : Toggle::all)
        toggles->setObject(NSNumber::numberWithBool(!left || std::string_view(index) != left), index);
    return toggles;
}

TEST(FeatureBlockTableTest, SeventeenRowsEachWithItsToggleAndPattern)
{
    ASSERT_EQ(kFeatureBlocks.size(), kExpected.size());
    for (const auto& expected : kExpected) {
        const FeatureBlock* row = rowFor(expected);
        ASSERT_TRUE(row) << expected.className << " " << expected.selector;
        EXPECT_EQ(row->pattern, expected.pattern) << expected.selector;
        EXPECT_EQ(row->toggle ? std::string(row->toggle) : "none", expected.toggle ? std::string(expected.toggle) : "none") << expected.selector;
    }
}

TEST(FeatureBlockTableTest, EachRowFollowsItsOwnToggleOnlyAndFixedRowsBlockEveryGuest)
{
    for (const auto& expected : kExpected) {
        const FeatureBlock& row = *rowFor(expected);
        bool fixed = expected.pattern == Fixed;
        SCOPED_TRACE(expected.selector);
        EXPECT_EQ(featureBlocked(row, nullptr), fixed) << "no record";
        EXPECT_EQ(featureBlocked(row, recordWith(nil)), fixed) << "a record without toggleData";
        EXPECT_EQ(featureBlocked(row, recordWith(togglesExcept(nullptr))), true) << "every toggle on";
        if (fixed) {
            EXPECT_TRUE(featureBlocked(row, recordWith(NSDictionary::dictionary())));
            continue;
        }
        EXPECT_FALSE(featureBlocked(row, recordWith(togglesExcept(expected.toggle)))) << "every toggle on but its own";
        EXPECT_TRUE(featureBlocked(row, recordWith(NSDictionary::dictionary({ { expected.toggle, NSNumber::numberWithBool(true) } }))))
            << "only its own toggle on";
        EXPECT_FALSE(featureBlocked(row, recordWith(NSDictionary::dictionary({ { expected.toggle, "YES"_ns } }))))
            << "a toggle that is not a boolean reads as off";
    }
}

TEST(FeatureBlockTableTest, ABulletinIsDroppedOnlyWhenNotificationsAreBlockedAndItsAppIsDisabled)
{
    auto blocking = recordWith(NSDictionary::dictionary({ { "1", NSNumber::numberWithBool(true) } }));
    auto open = recordWith(togglesExcept("1"));
    auto disabled = NSArray::array({ "com.apple.mobilesafari"_ns });
    EXPECT_TRUE(bulletinDropped(blocking, disabled, "com.apple.mobilesafari"_ns));
    EXPECT_FALSE(bulletinDropped(blocking, disabled, "com.apple.MobileSMS"_ns)) << "an app not on the list";
    EXPECT_FALSE(bulletinDropped(open, disabled, "com.apple.mobilesafari"_ns)) << "notifications not blocked";
    EXPECT_FALSE(bulletinDropped(blocking, nullptr, "com.apple.mobilesafari"_ns)) << "no list";
    EXPECT_FALSE(bulletinDropped(blocking, disabled, nil)) << "a bulletin without sectionID";
    EXPECT_FALSE(bulletinDropped(nullptr, disabled, "com.apple.mobilesafari"_ns)) << "no record";
}

// The replacements on a SpringBoard started for a guest.
class FeatureBlockShellTest : public RestrictionSpringBoardTest {
protected:
    SpringBoardApp& launchGuest(std::vector<const char*> blocked, int iosMajor = 14)
    {
        writeUsers({ { "Admin", guestRecord("Admin") }, { "Guest", guestRecord("Guest", { { "toggleData", toggles(blocked) } }) } });
        writeAppList({ { "Guest", disabledList({ "com.apple.mobilesafari" }) } });
        writeIconState({ "com.apple.camera", "com.apple.mobilesafari", "com.apple.Maps" });
        activate("Guest");
        return launch(iosMajor);
    }

    static std::vector<id> subviewsOf(const id& view) { return send<id>(view, "subviews").as<NSArray>()->items(); }
    static bool hidden(const id& view) { return send<bool>(view, "isHidden"); }
    static bool allows(SpringBoardApp& app, const char* capability) { return app.allowsCapability(capability); }
};

TEST_F(FeatureBlockShellTest, ABlockedTodayViewShowsOnlyTheRedNotice)
{
    SpringBoardApp& app = launchGuest({ blockTodayView });
    id view = send<id>(app.todayViewController(), "view");
    auto subviews = subviewsOf(view);
    ASSERT_EQ(subviews.size(), 4u) << "two widgets, the footer, then the notice";
    for (size_t i = 0; i + 1 < subviews.size(); ++i)
        EXPECT_TRUE(hidden(subviews[i])) << object_getClassName(subviews[i]);
    auto label = subviews.back().as<UILabel>();
    ASSERT_TRUE(label);
    EXPECT_FALSE(label->isHidden());
    CGRect frame = send<CGRect>(view, "frame");
    EXPECT_EQ(label->frame().size.width, frame.size.width - 20);
    EXPECT_EQ(label->frame().size.height, 150);
    EXPECT_EQ(label->center().x, frame.size.width * 0.5);
    EXPECT_EQ(label->center().y, frame.size.height * 0.5);
    EXPECT_EQ(label->textString(), "Sorry you don't have the \nprivilege to use Today's View!");
    EXPECT_EQ(label->numberOfLines(), 2);
    auto colour = label->textColor().as<UIColor>();
    ASSERT_TRUE(colour);
    EXPECT_TRUE(colour->isEqualToColor(*send<id>(objc_getClass("UIColor"), "systemRedColor").as<UIColor>())) << colour->description();
    EXPECT_EQ(label->textAlignment(), NSTextAlignmentCenter);
}

TEST_F(FeatureBlockShellTest, BlockedTodayViewRefusesItsPageCapabilitiesAndHidesWidgetsAfterEachLayout)
{
    SpringBoardApp& app = launchGuest({ blockTodayView });
    id folder = app.rootFolderView();
    EXPECT_EQ(send<long long>(folder, "_minusPageCount"), 0);
    EXPECT_FALSE(send<bool>(folder, "beginPageStateTransitionToState:animated:interactive:", 1LL, true, true)) << "not begun";
    EXPECT_EQ(send<long long>(folder, "pageState"), 0);
    EXPECT_FALSE(allows(app, "_allowsCapabilityTodayViewWithExplanation:"));
    EXPECT_FALSE(allows(app, "_allowsCapabilityLockScreenTodayViewWithExplanation:"));
    EXPECT_TRUE(hidden(send<id>(app.todayViewController(), "view")));
    for (const id& subview : subviewsOf(send<id>(app.todayViewController(), "view"))) {
        send(subview, "setHidden:", false);
        send(subview, "setNeedsLayout");
        send(subview, "layoutIfNeeded");
    }
    auto subviews = subviewsOf(send<id>(app.todayViewController(), "view"));
    EXPECT_TRUE(hidden(subviews[0])) << "a widget is hidden again after its layout";
    EXPECT_TRUE(hidden(subviews[1]));
    EXPECT_FALSE(hidden(subviews[2])) << "the footer hides when it moves to a window, not at layout";
    send(subviews[2], "removeFromSuperview");
    send(send<id>(app.todayViewController(), "view"), "addSubview:", subviews[2]);
    EXPECT_TRUE(hidden(subviews[2]));
}

TEST_F(FeatureBlockShellTest, WithoutToggleDataOnlyTheFixedRowsBlock)
{
    SpringBoardApp& app = launchGuest({});
    id view = send<id>(app.todayViewController(), "view");
    EXPECT_EQ(subviewsOf(view).size(), 3u) << "no notice";
    EXPECT_EQ(send<long long>(app.rootFolderView(), "_minusPageCount"), 1);
    EXPECT_TRUE(send<bool>(app.rootFolderView(), "beginPageStateTransitionToState:animated:interactive:", 1LL, true, true));
    EXPECT_TRUE(send<bool>(app.controlCenterController(), "_shouldAllowControlCenterGesture"));
    EXPECT_TRUE(send<bool>(app.searchScrollView(), "gestureRecognizerShouldBegin:", nil));
    EXPECT_FALSE(hidden(app.searchBar()));
    EXPECT_TRUE(allows(app, "_allowsCapabilityTodayViewWithExplanation:"));
    // Blocked for every guest:
    EXPECT_FALSE(send<bool>(app.librarySearchController(), "searchBarShouldBeginEditing:", nil));
    EXPECT_TRUE(hidden(app.libraryTableView()));
    EXPECT_EQ(app.libraryTableView().as<UIView>()->layoutPassCount(), 0) << "the table's own layout never runs";
    EXPECT_FALSE(allows(app, "_allowsCapabilityLockScreenCameraWithExplanation:"));
    EXPECT_FALSE(allows(app, "_allowsCapabilityLockScreenCameraSupportedWithExplanation:"));
}

TEST_F(FeatureBlockShellTest, ControlCentreSearchAndDeletionFollowTheirToggles)
{
    SpringBoardApp& app = launchGuest({ blockControlCenter, blockSearch, blockAppDeletion });
    EXPECT_FALSE(send<bool>(app.controlCenterController(), "_shouldAllowControlCenterGesture"));
    EXPECT_FALSE(send<bool>(app.searchScrollView(), "gestureRecognizerShouldBegin:", nil));
    EXPECT_TRUE(hidden(app.searchBar()));
    send(app.searchBar(), "setHidden:", false);
    send(app.searchBar(), "setNeedsLayout");
    send(app.searchBar(), "layoutIfNeeded");
    EXPECT_TRUE(hidden(app.searchBar())) << "hidden again after every layout pass";
    id icon = send<id>(app.iconModel(), "applicationIconForBundleIdentifier:", id("com.apple.camera"_ns));
    ASSERT_TRUE(icon);
    send(app.iconController(), "iconCloseBoxTapped:", icon);
    EXPECT_TRUE(send<id>(app.iconModel(), "applicationIconForBundleIdentifier:", id("com.apple.camera"_ns))) << "not deleted";
}

TEST_F(FeatureBlockShellTest, EveryBulletinReadsTheDisabledListAfresh)
{
    SpringBoardApp& app = launchGuest({ blockNotifications });
    id server = app.bulletinServer();
    auto receive = [&](const char* sectionID) {
        size_t before = app.publishedBulletins().size();
        send(server, "publishBulletin:destinations:", BBBulletin::make(sectionID, "title", "text"), 15ULL);
        return app.publishedBulletins().size() > before;
    };
    EXPECT_FALSE(receive("com.apple.mobilesafari"));
    EXPECT_TRUE(receive("com.apple.MobileSMS"));
    writeAppList({ { "Guest", disabledList({ "com.apple.mobilesafari", "com.apple.MobileSMS" }) } });
    EXPECT_FALSE(receive("com.apple.MobileSMS")) << "the list is read per bulletin, without a refresh of the record";
    // A toggle switched off in the file counts only once the record is fetched again.
    writeUsers({ { "Guest", guestRecord("Guest") } });
    EXPECT_FALSE(receive("com.apple.MobileSMS"));
    crntUserData = fetchCrntUserData();
    EXPECT_TRUE(receive("com.apple.MobileSMS"));
}

} // namespace
