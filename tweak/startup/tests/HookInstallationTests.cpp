#include "TweakTestEnvironment.h"

#include "CFNotificationCenter.h"
#include "DarwinNotifyCenter.h"
#include "HookTable.h"
#include "MainInitialiser.h"
#include "NSNotificationCenter.h"
#include "NSProcessInfo.h"
#include "RunLoop.h"
#include "SpringBoardClasses.h"
#include "SystemLog.h"

#include <set>
#include <sys/wait.h>

namespace {

using Rows = std::set<int>;

struct Installation {
    std::set<std::pair<std::string, std::string>> methods;
    std::vector<std::string> log;
};

class HookInstallationTest : public TweakTestEnvironment {
protected:
    void SetUp() override
    {
        TweakTestEnvironment::SetUp();
        for (const HookRow& row : hookTable()) {
            for (const HookTarget* target : { &row.target, row.legacy ? &*row.legacy : nullptr }) {
                if (target && target->slot)
                    *target->slot = nullptr;
            }
        }
        writeUsers({ { "Admin", guestRecord("Admin") }, { "Guest", guestRecord("Guest") } });
        writeAppList({ { "Guest", disabledList({ "com.apple.camera" }) } });
    }

    void TearDown() override
    {
        NSProcessInfo::setArgumentsForTesting(std::nullopt);
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        TweakTestEnvironment::TearDown();
    }

    Installation load(int iosMajor, const char* executable = "/System/Library/CoreServices/SpringBoard.app/SpringBoard")
    {
        objc_resetRuntimeForTesting();
        registerSpringBoardClasses(iosMajor);
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion { iosMajor, 4, 0 });
        NSProcessInfo::setArgumentsForTesting(std::vector<std::string> { executable });
        mainSettings = nullptr;
        SystemLog::Capture capture;
        mainInitialiser();
        Installation result;
        for (const auto& method : runtime_installedMethods())
            result.methods.emplace(method.className, method.selector);
        result.log = capture.lines();
        return result;
    }

    static Id<HBPreferences> settings() { return HBPreferences::preferencesForIdentifier(kSettingsDomain); }

    // The (class, selector) pairs of the given rows whose class this system has.
    static std::set<std::pair<std::string, std::string>> rowsOn(const Rows& rows, int iosMajor)
    {
        std::set<std::pair<std::string, std::string>> result;
        for (const HookRow& row : hookTable()) {
            const char* className = row.targetFor(iosMajor >= 13).className;
            if (rows.contains(row.number) && objc_getClass(className))
                result.emplace(className, row.selector);
        }
        return result;
    }

    static Rows range(int first, int last)
    {
        Rows rows;
        for (int i = first; i <= last; ++i)
            rows.insert(i);
        return rows;
    }
    static Rows unite(Rows a, const Rows& b)
    {
        a.insert(b.begin(), b.end());
        return a;
    }
};

TEST(ProcessGateTest, ServesOnlyApplicationsAndSpringBoard)
{
    EXPECT_TRUE(processIsServed("/System/Library/CoreServices/SpringBoard.app/SpringBoard"));
    EXPECT_TRUE(processIsServed("/var/containers/Bundle/Application/ABC/Notes.app/Notes"));
    EXPECT_FALSE(processIsServed("/usr/libexec/backboardd"));
    EXPECT_FALSE(processIsServed("/tmp/springboard.app/SpringBoard")) << "the test is case-sensitive";
    EXPECT_FALSE(processIsServed(nullptr));
}

TEST_F(HookInstallationTest, AProcessOutsideTheGateGetsNothing)
{
    settings()->setBool(true, "toggleKavlor");
    auto installed = load(14, "/usr/libexec/backboardd");
    EXPECT_TRUE(installed.methods.empty());
    EXPECT_TRUE(installed.log.empty());
    EXPECT_FALSE(mainSettings);
}

TEST_F(HookInstallationTest, SwitchedOffInstallsOnlyTheBaseRowsWhateverGuestModeSays)
{
    settings()->setBool(true, "isKavlorActive");
    settings()->setObject("Guest"_ns, "activeUser");
    auto installed = load(14);
    EXPECT_EQ(installed.methods, rowsOn({ 6, 7, 8, 35 }, 14));
    EXPECT_EQ(installed.log, std::vector<std::string> { "xxxxxxxx crntUserData:-(null)" });
}

TEST_F(HookInstallationTest, OwnerOrNoGuestModeGetsPanelSwitchingAndBase)
{
    settings()->setBool(true, "toggleKavlor");
    auto switchedOn = load(14);
    EXPECT_EQ(switchedOn.methods, rowsOn(unite(range(1, 10), { 35 }), 14));
    EXPECT_FALSE(crntUserData);

    settings()->setBool(true, "isKavlorActive");
    settings()->setObject("Admin"_ns, "activeUser");
    auto installed = load(14);
    EXPECT_EQ(installed.methods, rowsOn(unite(range(1, 10), { 35 }), 14));
    EXPECT_TRUE(isEqual(activeUser, "Admin"_ns));
    EXPECT_EQ(installed.log, std::vector<std::string> { "xxxxxxxx crntUserData:-(null)" });
}

TEST_F(HookInstallationTest, AnActiveGuestGetsEveryRowAndItsDataIsFetched)
{
    settings()->setBool(true, "toggleKavlor");
    settings()->setBool(true, "isKavlorActive");
    settings()->setObject("Guest"_ns, "activeUser");
    auto installed = load(14);
    EXPECT_EQ(installed.methods, rowsOn(range(1, 35), 14));
    ASSERT_TRUE(crntUserData);
    EXPECT_TRUE(recordString(crntUserData, "UserName")->isEqualToString("Guest"));
    EXPECT_TRUE(listContains(disabledApps, "com.apple.camera"_ns));
    ASSERT_EQ(installed.log.size(), 2u);
    EXPECT_EQ(installed.log[0].rfind("xxxxxxxx activeUser data:-{", 0), 0u);
    EXPECT_EQ(installed.log[1].rfind("xxxxxxxx crntUserData:-{", 0), 0u);
}

TEST_F(HookInstallationTest, GuestModeWithNoActiveUserStillInstallsGuestRowsWithEmptyData)
{
    settings()->setBool(true, "toggleKavlor");
    settings()->setBool(true, "isKavlorActive");
    auto installed = load(13);
    EXPECT_EQ(installed.methods, rowsOn(range(1, 35), 13));
    EXPECT_TRUE(installed.methods.contains({ "FBProcess", "isForeground" }));
    EXPECT_FALSE(installed.methods.contains({ "SBHLibrarySearchController", "searchBarShouldBeginEditing:" }))
        << "the App Library arrived with iOS 14";
    EXPECT_FALSE(crntUserData);
    EXPECT_FALSE(recordToggle(crntUserData, blockControlCenter));
}

TEST_F(HookInstallationTest, EachSystemGetsItsOwnSpellingOfTheLockScreenRows)
{
    settings()->setBool(true, "toggleKavlor");
    for (int ios : { 12, 13, 14 }) {
        objc_resetRuntimeForTesting();
        registerSpringBoardClasses(ios);
        // The other spelling exists here too, so that touching it would show.
        const char* otherController = ios >= 13 ? "SBDashBoardNotificationAdjunctListViewController" : "CSNotificationAdjunctListViewController";
        const char* otherScrollView = ios >= 13 ? "SBPagedScrollView" : "CSScrollView";
        if (!objc_getClass(otherController))
            ClassBuilder(otherController, "UIViewController").method("viewDidLoad", [](id, SEL) { });
        if (!objc_getClass(otherScrollView))
            ClassBuilder(otherScrollView, "UIScrollView");
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion { ios, 0, 0 });
        NSProcessInfo::setArgumentsForTesting(std::vector<std::string> { "/System/Library/CoreServices/SpringBoard.app/SpringBoard" });
        mainInitialiser();
        std::set<std::string> touched;
        for (const auto& method : runtime_installedMethods())
            touched.insert(method.className);
        EXPECT_FALSE(touched.contains(otherController)) << "iOS " << ios;
        EXPECT_FALSE(touched.contains(otherScrollView)) << "iOS " << ios;
        EXPECT_TRUE(touched.contains(ios >= 13 ? "CSScrollView" : "SBPagedScrollView")) << "iOS " << ios;
    }
}

TEST_F(HookInstallationTest, EveryReplacementHasTheSignatureOfTheMethodItReplaces)
{
    for (int ios : { 12, 13, 14 }) {
        objc_resetRuntimeForTesting();
        registerSpringBoardClasses(ios);
        for (const HookRow& row : hookTable()) {
            const HookTarget& target = row.targetFor(ios >= 13);
            Class cls = objc_getClass(target.className);
            if (!cls || row.kind == HookKind::Added)
                continue;
            Method method = class_getInstanceMethod(cls, sel(row.selector));
            ASSERT_TRUE(method) << "iOS " << ios << ": " << target.className << " has no " << row.selector;
            EXPECT_EQ(method_getTypeEncoding(method), target.encoding) << "row " << row.number << " on iOS " << ios;
        }
    }
}

TEST_F(HookInstallationTest, ReplacementsAreWhatCallersRunAndKeepThePreviousImplementation)
{
    settings()->setBool(true, "toggleKavlor");
    settings()->setBool(true, "isKavlorActive");
    settings()->setObject("Guest"_ns, "activeUser");
    load(14);
    for (const HookRow& row : hookTable()) {
        const HookTarget& target = row.targetFor(true);
        Class cls = objc_getClass(target.className);
        if (!cls)
            continue;
        EXPECT_EQ(class_getMethodImplementation(cls, sel(row.selector)), target.function) << "row " << row.number;
        if (row.kind == HookKind::Replaced) {
            EXPECT_NE(*target.slot, nullptr) << "row " << row.number;
            EXPECT_NE(*target.slot, target.function) << "row " << row.number;
        }
    }
}

TEST_F(HookInstallationTest, AddedMethodsCarryTheirEncodingsAndTheAccessorsKeepTheirValue)
{
    settings()->setBool(true, "toggleKavlor");
    load(14);
    Class controller = objc_getClass("CSNotificationAdjunctListViewController");
    EXPECT_STREQ(method_getTypeEncoding(class_getInstanceMethod(controller, sel("userAccountView"))), "@@:");
    EXPECT_STREQ(method_getTypeEncoding(class_getInstanceMethod(controller, sel("setUserAccountView:"))), "v@:@");
    EXPECT_STREQ(method_getTypeEncoding(class_getInstanceMethod(objc_getClass("CSScrollView"), sel("showAction"))), "v@:");
    id object = send<id>(controller, "new");
    id panel = "stands in for the panel"_ns;
    send(object, "setUserAccountView:", panel);
    EXPECT_EQ(send<id>(object, "userAccountView"), panel);
}

TEST_F(HookInstallationTest, AddingAMethodTheClassAlreadyHasKeepsTheExistingOne)
{
    objc_resetRuntimeForTesting();
    registerSpringBoardClasses(14);
    // A class that already answers showAction keeps its own method.
    auto existing = [](id, SEL) { };
    ClassBuilder::extend(objc_getClass("CSScrollView")).method("showAction", +existing);
    IMP before = class_getMethodImplementation(objc_getClass("CSScrollView"), sel("showAction"));
    settings()->setBool(true, "toggleKavlor");
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion { 14, 4, 0 });
    NSProcessInfo::setArgumentsForTesting(std::vector<std::string> { "/System/Library/CoreServices/SpringBoard.app/SpringBoard" });
    mainInitialiser();
    EXPECT_EQ(class_getMethodImplementation(objc_getClass("CSScrollView"), sel("showAction")), before);
}

TEST_F(HookInstallationTest, TheBridgeRepostsADarwinPostFromAnotherProcessLocallyWithNoObject)
{
    load(14);
    int received = 0;
    id sender = "unset"_ns;
    NSNotificationCenter::defaultCenter()->addObserverForName("com.Quennic.Kavlor/addedNewUser"_ns, nil, nullptr,
        makeBlock<void(id)>([&](id notification) {
            ++received;
            sender = notification.as<NSNotification>()->object();
        }));
    pid_t child = fork();
    if (child == 0) {
        CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), "com.Quennic.Kavlor/addedNewUser", nullptr, nullptr, true);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return received > 0; }, 5.0));
    EXPECT_GE(received, 1);
    EXPECT_FALSE(sender);
}

TEST_F(HookInstallationTest, AFailingObserverOfTheRepostStaysInsideTheBridge)
{
    load(14);
    int calls = 0;
    NSNotificationCenter::defaultCenter()->addObserverForName("com.Quennic.Kavlor/addedNewUser"_ns, nil, nullptr,
        makeBlock<void(id)>([&](id) {
            ++calls;
            throw RuntimeError("an observer that fails");
        }));
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), "com.Quennic.Kavlor/addedNewUser", nullptr, nullptr, true);
    EXPECT_NO_THROW(RunLoop::main().runUntil([&] { return calls > 0; }, 5.0));
    EXPECT_EQ(calls, 1);
}

TEST_F(HookInstallationTest, AnActiveUserThatIsNotAStringReadsAsAbsent)
{
    settings()->setBool(true, "toggleKavlor");
    settings()->setBool(true, "isKavlorActive");
    settings()->setObject(NSNumber::numberWithInteger(7), "activeUser");
    auto installed = load(14);
    EXPECT_EQ(installed.methods, rowsOn(range(1, 35), 14)) << "as with no activeUser: the guest rows, with empty data";
    EXPECT_FALSE(activeUser);
    EXPECT_FALSE(crntUserData);
    EXPECT_TRUE(isOwnerOrUnset(activeUser));
    EXPECT_TRUE(isOwnerOrUnset(NSNumber::numberWithInteger(7))) << "the icon-state hooks' own reads of the key";
    EXPECT_EQ(installed.log.front(), "xxxxxxxx activeUser data:-(null)");
}

} // namespace
