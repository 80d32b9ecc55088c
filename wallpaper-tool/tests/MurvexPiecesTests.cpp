// The pieces of murvex that are checked in-process: the shell-command runner and the
// integer message sent through an invocation.

#include "RunCommand.h"
#include "WallpaperSnapshot.h"

#include "ClassBuilder.h"
#include "NSObjectValues.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// --- runCommand ----------------------------------------------------------------------

TEST(RunCommand, AnswersTheFirstLineWithItsLineFeed)
{
    EXPECT_EQ(runCommand("printf 'first\\nsecond\\n'"), std::optional<std::string>("first\n"));
}

TEST(RunCommand, ReadsAtMost1023BytesOfALongLine)
{
    // One write of 1500 digits, all in the pipe before the first read returns, so the
    // command ends well although most of its line is never read.
    auto line = runCommand("printf '%01500d\\n' 0");
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, std::string(1023, '0'));
}

TEST(RunCommand, ACommandThatFailsAnswersNothingEvenWhenItPrinted)
{
    EXPECT_EQ(runCommand("echo partial; exit 3"), std::nullopt);
}

TEST(RunCommand, ASilentSuccessAnswersAnEmptyText)
{
    EXPECT_EQ(runCommand("true"), std::optional<std::string>(""));
}

TEST(RunCommand, DevicePathsInTheCommandAreThoseOfTheDeviceRoot)
{
    fs::path root = fs::temp_directory_path() / ("murvex-root-" + std::to_string(getpid()));
    fs::create_directories(root / "Library/Kavlors");
    std::ofstream(root / "Library/Kavlors/HomeBackground.png") << "copy";
    setenv("KAVLOR_DEVICE_ROOT", root.c_str(), 1);

    auto result = runCommand("/bin/rm /Library/Kavlors/HomeBackground.png");

    unsetenv("KAVLOR_DEVICE_ROOT");
    EXPECT_TRUE(result);
    EXPECT_FALSE(fs::exists(root / "Library/Kavlors/HomeBackground.png"));
    fs::remove_all(root);
}

// --- performSelectorWithInteger ------------------------------------------------------

class IntegerReceiver : public objc_object {
public:
    std::vector<long long> received;
};

Class integerReceiverClass()
{
    static Class cls = [] {
        ClassBuilder builder("MurvexTestIntegerReceiver", "NSObject");
        builder.instancesOf<IntegerReceiver>().permanent().method("takeValue:", [](id self, SEL, long long value) {
            self.as<IntegerReceiver>()->received.push_back(value);
        });
        return builder.get();
    }();
    return cls;
}

TEST(PerformSelectorWithInteger, SendsTheWhole64BitValueAsTheFirstArgument)
{
    auto receiver = send<id>(integerReceiverClass(), "new").as<IntegerReceiver>();
    performSelectorWithInteger(receiver, sel("takeValue:"), 2);
    performSelectorWithInteger(receiver, sel("takeValue:"), (1LL << 40) + 7);
    performSelectorWithInteger(receiver, sel("takeValue:"), -1);
    EXPECT_EQ(receiver->received, (std::vector<long long> { 2, (1LL << 40) + 7, -1 }));
}

TEST(PerformSelectorWithInteger, ATargetThatIsNilOrLacksTheMethodIsLeftAlone)
{
    EXPECT_NO_THROW(performSelectorWithInteger(nil, sel("takeValue:"), 1));
    auto receiver = send<id>(integerReceiverClass(), "new").as<IntegerReceiver>();
    EXPECT_NO_THROW(performSelectorWithInteger(receiver, sel("noSuchMethod:"), 1));
    EXPECT_TRUE(receiver->received.empty());
}

} // namespace
