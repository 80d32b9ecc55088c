// What kavlorctl does around its commands: the device root it works in, the account-change
// notification, the device trace, starting murvex, and help on every subcommand.

#include "KavlorctlRunner.h"

#include "CFNotificationCenter.h"
#include "DarwinNotifyCenter.h"
#include "RunLoop.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using ::testing::HasSubstr;

namespace {

int accountChangeCount = 0;

void countAccountChange(CFNotificationCenterRef, void*, CFStringRef name, const void*, CFDictionaryRef)
{
    if (std::string(name) == "com.Quennic.Kavlor/addedNewUser")
        ++accountChangeCount;
}

// Observes the account-change notification in this process, on the test's device root,
// as the library does in SpringBoard.
class NotificationTest : public KavlorctlTest {
protected:
    void SetUp() override
    {
        KavlorctlTest::SetUp();
        ::setenv("KAVLOR_DEVICE_ROOT", m_root.c_str(), 1);
        accountChangeCount = 0;
        CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), this, countAccountChange,
            "com.Quennic.Kavlor/addedNewUser", nullptr, CFNotificationSuspensionBehaviorDeliverImmediately);
    }
    void TearDown() override
    {
        DarwinNotifyCenter::shared().resetForTesting();
        RunLoop::main().resetForTesting();
        ::unsetenv("KAVLOR_DEVICE_ROOT");
        KavlorctlTest::TearDown();
    }
    // Runs the main loop until `count` posts have arrived, for at most five seconds.
    bool receivedPosts(int count) const
    {
        return RunLoop::main().runUntil([&] { return accountChangeCount >= count; }, Seconds(5.0));
    }
};

TEST_F(NotificationTest, EveryAccountChangePostsTheNotification)
{
    ASSERT_EQ(run({ "user", "add", "Mira", "--passcode", "1" }).exitStatus, 0);
    EXPECT_TRUE(receivedPosts(1));
    ASSERT_EQ(run({ "apps", "disable", "Mira", "com.apple.camera" }).exitStatus, 0);
    EXPECT_TRUE(receivedPosts(2));
    ASSERT_EQ(run({ "apps", "enable", "Mira", "com.apple.camera" }).exitStatus, 0);
    EXPECT_TRUE(receivedPosts(3));
    ASSERT_EQ(run({ "user", "remove", "Mira" }).exitStatus, 0);
    EXPECT_TRUE(receivedPosts(4));
    EXPECT_EQ(accountChangeCount, 4);
}

TEST_F(NotificationTest, NothingIsPostedWhenNothingChanged)
{
    ASSERT_EQ(run({ "user", "add", "Mira", "--passcode", "1" }).exitStatus, 0);
    ASSERT_TRUE(receivedPosts(1));

    EXPECT_NE(run({ "user", "add", "Mira", "--passcode", "1" }).exitStatus, 0);
    EXPECT_NE(run({ "user", "remove", "Nobody" }).exitStatus, 0);
    EXPECT_EQ(run({ "apps", "enable", "Mira", "com.not.listed" }).exitStatus, 0);
    EXPECT_EQ(run({ "set", "toggleKavlor", "true" }).exitStatus, 0);
    EXPECT_EQ(run({ "user", "list" }).exitStatus, 0);
    // Each run has ended, so anything it posted is already queued here.
    DarwinNotifyCenter::shared().drainPendingNow();
    EXPECT_EQ(accountChangeCount, 1);
}

using ProgramTest = KavlorctlTest;

TEST_F(ProgramTest, TheRootComesFromTheOptionOrTheEnvironmentAndMustExist)
{
    auto none = runWithoutDeviceOption({ "user", "list" }, std::nullopt);
    EXPECT_NE(none.exitStatus, 0);
    EXPECT_THAT(none.standardError, HasSubstr("KAVLOR_DEVICE_ROOT"));

    auto fromEnvironment = runWithoutDeviceOption({ "user", "add", "Mira", "--passcode", "1" }, m_root);
    EXPECT_EQ(fromEnvironment.exitStatus, 0) << fromEnvironment.standardError;
    EXPECT_TRUE(std::filesystem::exists(hostPath(kUserData)));

    std::string missing = m_root + "/no-such-device";
    auto wrong = runWithoutDeviceOption({ "--device", missing, "user", "list" }, m_root);
    EXPECT_NE(wrong.exitStatus, 0);
    EXPECT_THAT(wrong.standardError, HasSubstr(missing));
    EXPECT_FALSE(std::filesystem::exists(missing));
}


TEST_F(ProgramTest, WritesAreTracedInTheDeviceTrace)
{
    ASSERT_EQ(run({ "user", "add", "Mira", "--passcode", "1" }).exitStatus, 0);
    std::ifstream trace(hostPath("/var/log/kavlor-trace.jsonl"));
    std::string text((std::istreambuf_iterator<char>(trace)), std::istreambuf_iterator<char>());
    EXPECT_THAT(text, HasSubstr("\"event\":\"file-write\",\"path\":\"/var/mobile/Library/Preferences/com.Quennic.KavlorUserData.plist\""));
    EXPECT_THAT(text, HasSubstr("\"process\":\"kavlorctl\""));
    EXPECT_THAT(text, HasSubstr("com.Quennic.Kavlor/addedNewUser"));
}

TEST_F(ProgramTest, MurvexIsStartedWithItsWordsInTheSameDeviceAndWaitedFor)
{
    auto missing = run({ "murvex", "saveAdminWall" });
    EXPECT_NE(missing.exitStatus, 0);
    EXPECT_THAT(missing.standardError, HasSubstr(hostPath("/usr/bin/murvex")));

    // A stand-in murvex that says what it was given and, like murvex, exits with 1.
    std::string script = "#!/bin/sh\necho \"args: $*\"\necho \"root: $KAVLOR_DEVICE_ROOT\"\nexit 1\n";
    writeFileBytes("/usr/bin/murvex", std::vector<uint8_t>(script.begin(), script.end()));
    ::chmod(hostPath("/usr/bin/murvex").c_str(), 0755);

    auto result = run({ "murvex", "setWallGuest", "/var/mobile/wall.png" });
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, "args: setWallGuest /var/mobile/wall.png\nroot: " + m_root + "\n");
}

// A malformed command line is refused like any other bad input: one line on standard
// error naming what is wrong, a non-zero exit, nothing written.
TEST_F(ProgramTest, AMalformedCommandLineGetsOneLineNamingTheProblem)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        { { "set", "toggleKavlor" }, "VALUE" },
        { { "user", "add", "Ann" }, "--passcode" },
        { { "user", "add", "Ann", "--passcode" }, "--passcode" },
        { { "user" }, "subcommand" },
        { { "dance" }, "dance" },
    };
    for (const auto& [arguments, named] : cases) {
        auto result = run(arguments);
        EXPECT_NE(result.exitStatus, 0) << arguments[0];
        EXPECT_THAT(result.standardError, HasSubstr("kavlorctl: ")) << arguments[0];
        EXPECT_THAT(result.standardError, HasSubstr(named)) << arguments[0];
        EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), 1) << result.standardError;
    }
    EXPECT_FALSE(std::filesystem::exists(hostPath(kUserData)));
    EXPECT_FALSE(std::filesystem::exists(hostPath(kSettings)));
}

TEST_F(ProgramTest, EverySubcommandHasHelp)
{
    const std::vector<std::vector<std::string>> commands = { {}, { "set" }, { "get" }, { "unset" }, { "user" },
        { "user", "add" }, { "user", "remove" }, { "user", "list" }, { "apps" }, { "apps", "disable" },
        { "apps", "enable" }, { "murvex" } };
    for (auto command : commands) {
        std::string name = "kavlorctl";
        for (const auto& word : command)
            name += " " + word;
        command.push_back("--help");
        auto result = runWithoutDeviceOption(command, std::nullopt);
        EXPECT_EQ(result.exitStatus, 0) << name;
        EXPECT_THAT(result.standardOutput, HasSubstr("Usage: " + name)) << name;
    }
}

} // namespace
