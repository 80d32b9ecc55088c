#include "GuestSpringBoardTest.h"

#include "PasscodeUnlock.h"

namespace {

using Strings = std::vector<std::string>;

TEST(OwnerAttemptsWanted, OnlyTheAccountsOwnNonEmptyPasscodeWithAStoredOwnerPasscode)
{
    EXPECT_TRUE(ownerAttemptsWanted("1111"_ns, "1111"_ns, "123456"_ns));
    EXPECT_FALSE(ownerAttemptsWanted("1112"_ns, "1111"_ns, "123456"_ns));
    EXPECT_FALSE(ownerAttemptsWanted("11111"_ns, "1111"_ns, "123456"_ns)) << "length counts";
    EXPECT_FALSE(ownerAttemptsWanted("1111"_ns, nil, "123456"_ns)) << "a record without a passcode";
    EXPECT_FALSE(ownerAttemptsWanted("1111"_ns, "1111"_ns, ""_ns)) << "no stored owner passcode";
    EXPECT_FALSE(ownerAttemptsWanted("1111"_ns, "1111"_ns, nil));
    EXPECT_FALSE(ownerAttemptsWanted(""_ns, ""_ns, "123456"_ns)) << "an empty passcode never unlocks";
    EXPECT_FALSE(ownerAttemptsWanted(nil, nil, "123456"_ns));
    EXPECT_FALSE(ownerAttemptsWanted("1111"_ns, NSNumber::numberWithInteger(1111), "123456"_ns)) << "a passcode that is not text";
}

// One passcode typed on the lock screen: the device passcode is 123456 unless said
// otherwise, the owner's account passcode 0000, Emma's 1111.
struct Typing {
    const char* what;
    const char* activeUser;
    const char* typed;
    bool answer;
    Strings attempts; // "source result" of each attempt that reached the lock-screen manager
    const char* storedOwnerPasscode = "123456";
    const char* emmasPasscode = "1111";
    std::optional<std::string> devicePasscode = "123456";
};

class PasscodeUnlockTest : public GuestSpringBoardTest, public ::testing::WithParamInterface<Typing> {
protected:
    void SetUp() override
    {
        GuestSpringBoardTest::SetUp();
        const Typing& typing = GetParam();
        setDevicePasscode(typing.devicePasscode);
        mainSettings->setObject(NSString::string(typing.storedOwnerPasscode), Key::adminPasscode);
        auto emma = guestRecord("Emma", { { "PassCode", typing.emmasPasscode ? id(NSString::string(typing.emmasPasscode)) : nil } });
        writeUsers({ { "Admin", guestRecord("Admin", { { "PassCode", "0000"_ns } }) }, { "Emma", emma } });
        if (std::string(typing.activeUser) == "Admin")
            mainSettings->setObject("Admin"_ns, Key::activeUser);
        else
            activateGuest(typing.activeUser);
    }
};

TEST_P(PasscodeUnlockTest, OnEverySystem)
{
    const Typing& typing = GetParam();
    for (int ios : { 12, 13, 14 }) {
        launch(ios);
        m_trace.clear();
        int completionCalls = 0;
        id completion = makeBlock<void(bool)>([&](bool) { ++completionCalls; });
        id manager = SpringBoardApp::current()->lockScreenManager();
        bool answer = send<bool>(manager, "attemptUnlockWithPasscode:finishUIUnlock:completion:", id(NSString::string(typing.typed)), true, completion);
        Strings attempts;
        for (const auto& event : eventsNamed("unlock-attempt"))
            attempts.push_back(event.field("source") + " " + event.field("result"));
        EXPECT_EQ(answer, typing.answer) << "iOS " << ios;
        EXPECT_EQ(SpringBoardApp::current()->isLocked(), !typing.answer) << "iOS " << ios;
        EXPECT_EQ(attempts, typing.attempts) << "iOS " << ios;
        EXPECT_EQ(completionCalls, 1) << "SpringBoard's completion belongs to the typed attempt alone";
    }
}

const std::vector<Typing> typings {
    { "TheOwnerTypesTheDevicePasscode", "Admin", "123456", true, { "typed unlocked" } },
    { "AGuestTypesTheirOwnPasscode", "Emma", "1111", true, { "typed refused", "owner verified", "owner unlocked" } },
    { "AGuestTypesAWrongPasscode", "Emma", "1357", false, { "typed refused" } },
    { "AGuestTypesTheOwnersAccountPasscode", "Emma", "0000", false, { "typed refused" } },
    { "NoStoredOwnerPasscode", "Emma", "1111", false, { "typed refused" }, "" },
    { "AWrongStoredOwnerPasscodeStopsAfterTheFirstOwnerAttempt", "Emma", "1111", false, { "typed refused", "owner refused" }, "999999" },
    { "ARecordWithoutPasscode", "Emma", "", false, { "typed refused" }, "123456", nullptr },
    { "AnEmptyRecordPasscodeTypedEmpty", "Emma", "", false, { "typed refused" }, "123456", "" },
    { "AnAccountPasscodeThatIsTheDevicePasscode", "Emma", "123456", true, { "typed unlocked", "owner verified", "owner unlocked" }, "123456", "123456" },
    // Where no owner attempt follows, SpringBoard's own success is the answer.
    { "TheDevicePasscodeTypedDuringAVisit", "Emma", "123456", true, { "typed unlocked" } },
    { "NoDevicePasscodeNoStoredOwnerPasscode", "Emma", "1111", true, { "typed unlocked" }, "", "1111", std::nullopt },
    { "NoDevicePasscode", "Emma", "1111", true, { "typed unlocked", "owner verified", "owner unlocked" }, "123456", "1111", std::nullopt },
};

INSTANTIATE_TEST_SUITE_P(Typing, PasscodeUnlockTest, ::testing::ValuesIn(typings),
    [](const ::testing::TestParamInfo<Typing>& info) { return std::string(info.param.what); });

class PasscodeChangeTest : public GuestSpringBoardTest { };

TEST_F(PasscodeChangeTest, APasscodeChangedByThePreferenceBundleCountsFromTheNextAttempt)
{
    setDevicePasscode("123456");
    mainSettings->setObject("123456"_ns, Key::adminPasscode);
    writeUsers({ { "Emma", guestRecord("Emma", { { "PassCode", "1111"_ns } }) } });
    activateGuest("Emma");
    SpringBoardApp& app = launch(14);
    writeUsers({ { "Emma", guestRecord("Emma", { { "PassCode", "7777"_ns } }) } });
    id manager = app.lockScreenManager();
    EXPECT_FALSE(send<bool>(manager, "attemptUnlockWithPasscode:finishUIUnlock:completion:", id("1111"_ns), true, nil));
    EXPECT_TRUE(send<bool>(manager, "attemptUnlockWithPasscode:finishUIUnlock:completion:", id("7777"_ns), true, nil));
}

} // namespace
