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

using Groups = std::set<HookGroup>;
using enum HookGroup;

struct Installation {
    std::set<std::pair<std::string, std::string>> methods;
    std::vector<std::string> log;
};

class HookInstallationTest : public TweakTestEnvironment {
protected:
    void SetUp() override
    {
        TweakTestEnvironment::SetUp();
        for (const HookDeclaration* hook : hookTable()) {
            if (hook->slot)
                hook->slot->keep(nullptr, nullptr, hook->encoding());
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

    // The (class, selector) pairs of the hooks of these groups that this system has.
    static std::set<std::pair<std::string, std::string>> methodsOf(const Groups& groups, int iosMajor)
    {
        std::set<std::pair<std::string, std::string>> result;
        for (const HookDeclaration* hook : hookTable()) {
            const HookRow& row = hook->row;
            if (groups.contains(row.group) && row.appliesTo(iosMajor >= 13) && objc_getClass(row.className))
                result.emplace(row.className, row.selector);
        }
        return result;
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
    EXPECT_EQ(installed.methods, methodsOf({ Base }, 14));
    EXPECT_EQ(installed.log, std::vector<std::string> { "xxxxxxxx crntUserData:-(null)" });
}

TEST_F(HookInstallationTest, OwnerOrNoGuestModeGetsPanelSwitchingAndBase)
{
    settings()->setBool(true, "toggleKavlor");
    auto switchedOn = load(14);
    EXPECT_EQ(switchedOn.methods, methodsOf({ Panel, Base, Switching }, 14));
    EXPECT_FALSE(crntUserData);

    settings()->setBool(true, "isKavlorActive");
    settings()->setObject("Admin"_ns, "activeUser");
    auto installed = load(14);
    EXPECT_EQ(installed.methods, methodsOf({ Panel, Base, Switching }, 14));
    EXPECT_TRUE(isEqual(activeUser, "Admin"_ns));
    EXPECT_EQ(installed.log, std::vector<std::string> { "xxxxxxxx crntUserData:-(null)" });
}

TEST_F(HookInstallationTest, AnActiveGuestGetsEveryRowAndItsDataIsFetched)
{
    settings()->setBool(true, "toggleKavlor");
    settings()->setBool(true, "isKavlorActive");
    settings()->setObject("Guest"_ns, "activeUser");
    auto installed = load(14);
    EXPECT_EQ(installed.methods, methodsOf({ Panel, Base, Switching, Guest }, 14));
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
    EXPECT_EQ(installed.methods, methodsOf({ Panel, Base, Switching, Guest }, 13));
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
        for (const HookDeclaration* hook : hookTable()) {
            const HookRow& row = hook->row;
            Class cls = objc_getClass(row.className);
            if (!cls || hook->kind == HookKind::Added || !row.appliesTo(ios >= 13))
                continue;
            Method method = class_getInstanceMethod(cls, sel(row.selector));
            ASSERT_TRUE(method) << "iOS " << ios << ": " << row.className << " has no " << row.selector;
            EXPECT_EQ(method_getTypeEncoding(method), hook->encoding()) << row.className << " " << row.selector << " on iOS " << ios;
        }
    }
}

TEST_F(HookInstallationTest, ReplacementsAreWhatCallersRunAndKeepThePreviousImplementation)
{
    settings()->setBool(true, "toggleKavlor");
    settings()->setBool(true, "isKavlorActive");
    settings()->setObject("Guest"_ns, "activeUser");
    load(14);
    for (const HookDeclaration* hook : hookTable()) {
        const HookRow& row = hook->row;
        Class cls = objc_getClass(row.className);
        if (!cls || !row.appliesTo(true))
            continue;
        EXPECT_EQ(class_getMethodImplementation(cls, sel(row.selector)), hook->function()) << row.className << " " << row.selector;
        if (hook->kind == HookKind::Replaced) {
            EXPECT_NE(hook->slot->imp, nullptr) << row.className << " " << row.selector;
            EXPECT_NE(hook->slot->imp, hook->function()) << row.className << " " << row.selector;
        }
    }
}

TEST_F(HookInstallationTest, TheTableListsEachMethodOnceInTheOrderOfInstallation)
{
    // Places rise through the table; the two spellings of a lock-screen row share one.
    std::set<std::tuple<std::string, std::string, bool>> seen;
    int lastPlace = 0;
    for (const HookDeclaration* hook : hookTable()) {
        EXPECT_GE(hook->row.place, lastPlace);
        lastPlace = hook->row.place;
        for (bool modern : { false, true }) {
            if (hook->row.appliesTo(modern)) {
                EXPECT_TRUE(seen.emplace(hook->row.className, hook->row.selector, modern).second)
                    << hook->row.className << " " << hook->row.selector << " is declared twice";
            }
        }
    }
    auto groupOf = [](const char* className, const char* selector) {
        for (const HookDeclaration* hook : hookTable()) {
            if (std::string_view(hook->row.className) == className && std::string_view(hook->row.selector) == selector)
                return hook->row.group;
        }
        ADD_FAILURE() << className << " " << selector << " is not in the table";
        return HookGroup::Base;
    };
    EXPECT_EQ(groupOf("CSScrollView", "initWithFrame:"), Panel);
    EXPECT_EQ(groupOf("SBPagedScrollView", "showAction"), Panel);
    EXPECT_EQ(groupOf("SpringBoard", "applicationDidFinishLaunching:"), Base);
    EXPECT_EQ(groupOf("SBLockScreenManager", "attemptUnlockWithPasscode:finishUIUnlock:completion:"), Switching);
    EXPECT_EQ(groupOf("UIStatusBarWindow", "timerFired"), Guest);
    EXPECT_EQ(hookTable().back()->row.className, std::string("SpringBoard")) << "the launch notice is installed last";
}

TEST_F(HookInstallationTest, CallingThePreviousImplementationIsTypeCheckedAndAFailureStaysInsideLoggedOnce)
{
    settings()->setBool(true, "toggleKavlor");
    load(14);
    // A slot whose method turned out to have another type refuses to call it, as a send
    // would; the error stays inside the library, SpringBoard gets NO, and it is logged once.
    const HookDeclaration* unlock = nullptr;
    for (const HookDeclaration* hook : hookTable()) {
        if (std::string_view(hook->row.selector) == "attemptUnlockWithPasscode:finishUIUnlock:completion:")
            unlock = hook;
    }
    ASSERT_TRUE(unlock);
    PreviousSlot kept = *unlock->slot;
    unlock->slot->keep(kept.imp, "v@:@B@", unlock->encoding());
    SystemLog::Capture capture;
    id manager = send<id>(objc_getClass("SBLockScreenManager"), "sharedInstance");
    EXPECT_FALSE(send<bool>(manager, "attemptUnlockWithPasscode:finishUIUnlock:completion:", id("0000"_ns), true, nil));
    EXPECT_FALSE(send<bool>(manager, "attemptUnlockWithPasscode:finishUIUnlock:completion:", id("0000"_ns), true, nil));
    *unlock->slot = kept;
    // The replacement logs its own lookup of the active account on each call; the failure
    // is logged once.
    std::vector<std::string> failures;
    for (const auto& line : capture.lines()) {
        if (line.find("failed, SpringBoard's own answer is kept") != std::string::npos)
            failures.push_back(line);
    }
    ASSERT_EQ(failures.size(), 1u) << "logged once";
    EXPECT_NE(failures[0].find("-[SBLockScreenManager attemptUnlockWithPasscode:finishUIUnlock:completion:]"), std::string::npos);
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
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return received > 0; }, Seconds(5.0)));
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
    EXPECT_NO_THROW(RunLoop::main().runUntil([&] { return calls > 0; }, Seconds(5.0)));
    EXPECT_EQ(calls, 1);
}

TEST_F(HookInstallationTest, AnActiveUserThatIsNotAStringReadsAsAbsent)
{
    settings()->setBool(true, "toggleKavlor");
    settings()->setBool(true, "isKavlorActive");
    settings()->setObject(NSNumber::numberWithInteger(7), "activeUser");
    auto installed = load(14);
    EXPECT_EQ(installed.methods, methodsOf({ Panel, Base, Switching, Guest }, 14)) << "as with no activeUser: the guest rows, with empty data";
    EXPECT_FALSE(activeUser);
    EXPECT_FALSE(crntUserData);
    EXPECT_TRUE(isOwnerOrUnset(activeUser));
    EXPECT_TRUE(isOwnerOrUnset(NSNumber::numberWithInteger(7))) << "the icon-state hooks' own reads of the key";
    EXPECT_EQ(installed.log.front(), "xxxxxxxx activeUser data:-(null)");
}

} // namespace
