// `SpringBoard --list-hooks`: the real host loads the real libKavlor.so through the loader
// of a device root made by init and set up with kavlorctl, and prints what is installed.

#include "ChildProcess.h"
#include "DeviceInstaller.h"
#include "TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct Row {
    std::string className, selector, kind;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row)
{
    return out << row.className << " " << row.selector << " " << row.kind;
}

// The hook table in installation order, for the classes of `ios`.
std::vector<Row> hookTable(int ios)
{
    std::string adjunct = ios >= 13 ? "CSNotificationAdjunctListViewController" : "SBDashBoardNotificationAdjunctListViewController";
    std::string scroll = ios >= 13 ? "CSScrollView" : "SBPagedScrollView";
    std::vector<Row> rows {
        { adjunct, "viewDidLoad", "replaced" },
        { adjunct, "userAccountView", "added" },
        { adjunct, "setUserAccountView:", "added" },
        { scroll, "initWithFrame:", "replaced" },
        { scroll, "showAction", "added" },
        { "SBDefaultIconModelStore", "loadCurrentIconState:", "replaced" },
        { "SBDefaultIconModelStore", "saveCurrentIconState:error:", "replaced" },
        { "SBIconController", "viewWillAppear:", "replaced" },
        { "SBHomeScreenViewController", "viewDidAppear:", "replaced" },
        { "SBLockScreenManager", "attemptUnlockWithPasscode:finishUIUnlock:completion:", "replaced" },
        { "FBProcess", "isForeground", "replaced" },
        { "SBControlCenterController", "_shouldAllowControlCenterGesture", "replaced" },
        { "BBServer", "publishBulletin:destinations:", "replaced" },
        { "SBSearchScrollView", "gestureRecognizerShouldBegin:", "replaced" },
        { "SBSearchBar", "layoutSubviews", "replaced" },
        { "SBTodayViewController", "viewDidLoad", "replaced" },
        { "SBHLibrarySearchController", "searchBarShouldBeginEditing:", "replaced" },
        { "_SBHIconLibraryTableView", "layoutSubviews", "replaced" },
        { "SBRootFolderView", "_minusPageCount", "replaced" },
        { "SBRootFolderView", "_layoutSubviewsForTodayView", "replaced" },
        { "SBRootFolderView", "beginPageStateTransitionToState:animated:interactive:", "replaced" },
        { "WGWidgetWrapperView", "layoutSubviews", "replaced" },
        { "WGWidgetListFooterView", "didMoveToWindow", "replaced" },
        { "SBMainDisplayPolicyAggregator", "_allowsCapabilityLockScreenTodayViewWithExplanation:", "replaced" },
        { "SBMainDisplayPolicyAggregator", "_allowsCapabilityTodayViewWithExplanation:", "replaced" },
        { "SBMainDisplayPolicyAggregator", "_allowsCapabilityLockScreenCameraWithExplanation:", "replaced" },
        { "SBMainDisplayPolicyAggregator", "_allowsCapabilityLockScreenCameraSupportedWithExplanation:", "replaced" },
        { "SBIconController", "iconCloseBoxTapped:", "replaced" },
        { "SBIconListModel", "placeIcon:atIndex:", "replaced" },
        { "SBIconListModel", "insertIcon:atIndex:options:", "replaced" },
        { "SBIconListModel", "addIcon:asDirty:", "replaced" },
        { "UIStatusBarWindow", "setStatusBar:", "replaced" },
        { "UIStatusBarWindow", "start", "added" },
        { "UIStatusBarWindow", "timerFired", "added" },
        { "SpringBoard", "applicationDidFinishLaunching:", "replaced" },
    };
    if (ios < 14) {
        // The App Library came with iOS 14: nothing to replace before.
        std::erase_if(rows, [](const Row& row) { return row.className == "SBHLibrarySearchController" || row.className == "_SBHIconLibraryTableView"; });
    }
    return rows;
}

class ListHooks : public ::testing::TestWithParam<std::string> {
protected:
    // A device made by init, with a guest active, set with kavlorctl.
    void makeGuestDevice(const std::string& ios)
    {
        DeviceSpec spec;
        spec.iosVersion = ios;
        DeviceInstaller::install(m_root.path(), spec, false);
        for (std::vector<std::string> arguments : { std::vector<std::string> { "set", "toggleKavlor", "true" },
                 { "set", "isKavlorActive", "true" }, { "set", "activeUser", "Guest" }, { "user", "add", "Guest", "--passcode", "1111" } }) {
            arguments.insert(arguments.begin(), { "--device", m_root.path() });
            auto result = runChild(KAVLORCTL_PATH, arguments, 30);
            ASSERT_TRUE(result.succeeded()) << result.describe() << result.err;
        }
    }

    std::vector<std::vector<std::string>> listHooks()
    {
        // Started from the build, it runs as the device's copy (argv[0] in SpringBoard.app).
        auto result = runChild(SPRINGBOARD_HOST_PATH, { "--list-hooks" }, 30);
        EXPECT_TRUE(result.succeeded()) << result.describe() << result.err;
        std::vector<std::vector<std::string>> rows;
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> fields;
            std::istringstream cells(line);
            for (std::string cell; std::getline(cells, cell, '\t');)
                fields.push_back(cell);
            rows.push_back(fields);
        }
        return rows;
    }

    TempDeviceRoot m_root;
};

TEST_P(ListHooks, ShowsEveryInstalledMethodWithTheLibraryItComesFrom)
{
    makeGuestDevice(GetParam());
    int ios = std::stoi(GetParam());
    std::vector<Row> listed;
    for (const auto& fields : listHooks()) {
        ASSERT_EQ(fields.size(), 4u);
        EXPECT_EQ(fields[3], "libKavlor.so") << fields[0] << " " << fields[1];
        listed.push_back({ fields[0], fields[1], fields[2] });
    }
    EXPECT_EQ(listed, hookTable(ios));
}

INSTANTIATE_TEST_SUITE_P(Versions, ListHooks, ::testing::Values("14.4", "12.5"));

TEST(ListHooksAlone, WithoutADeviceRootItSaysWhatIsMissing)
{
    ::unsetenv("KAVLOR_DEVICE_ROOT");
    auto result = runChild(SPRINGBOARD_HOST_PATH, { "--list-hooks" }, 30);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("KAVLOR_DEVICE_ROOT is not set"), std::string::npos) << result.err;

    TempDeviceRoot empty;
    auto missing = runChild(SPRINGBOARD_HOST_PATH, { "--list-hooks" }, 30);
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_NE(missing.err.find("kavlor-sim init"), std::string::npos) << missing.err;

    auto noFolder = runChild(SPRINGBOARD_HOST_PATH, { "--list-hooks", "--device" }, 30);
    EXPECT_EQ(noFolder.exitStatus, 2);
    EXPECT_NE(noFolder.err.find("--device needs the device root"), std::string::npos) << noFolder.err;
}

} // namespace
