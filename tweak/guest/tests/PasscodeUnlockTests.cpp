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

class PasscodeUnlockTest : public GuestSpringBoardTest {
protected:
    void SetUp() override
    {
        GuestSpringBoardTest::SetUp();
        setDevicePasscode("123456");
        mainSettings->setObject("123456"_ns, Key::adminPasscode);
        writeUsers({ { "Admin", guestRecord("Admin", { { "PassCode", "0000"_ns } }) },
            { "Emma", guestRecord("Emma", { { "PassCode", "1111"_ns } }) } });
    }

    struct Outcome {
        bool answer;
        bool locked;
        Strings attempts; // "source result" of each attempt that reached the lock-screen manager
        int completionCalls;
    };

    Outcome type(const std::string& passcode)
    {
        m_events.clear();
        int completionCalls = 0;
        id completion = makeBlock<void(bool)>([&](bool) { ++completionCalls; });
        id manager = SpringBoardApp::current()->lockScreenManager();
        bool answer = send<bool>(manager, "attemptUnlockWithPasscode:finishUIUnlock:completion:", id(NSString::string(passcode)), true, completion);
        Outcome outcome { answer, SpringBoardApp::current()->isLocked(), {}, completionCalls };
        for (const auto& event : eventsNamed("unlock-attempt"))
            outcome.attempts.push_back(event.field("source") + " " + event.field("result"));
        return outcome;
    }

    void launchFor(const char* user, int ios = 14)
    {
        if (std::string(user) == "Admin")
            mainSettings->setObject("Admin"_ns, Key::activeUser);
        else
            activateGuest(user);
        launch(ios);
    }
};

TEST_F(PasscodeUnlockTest, TheOwnerTypingTheDevicePasscodeUnlocksAsUsualWithoutOwnerAttempts)
{
    launchFor("Admin");
    Outcome outcome = type("123456");
    EXPECT_TRUE(outcome.answer);
    EXPECT_FALSE(outcome.locked);
    EXPECT_EQ(outcome.attempts, Strings { "typed unlocked" });
}

TEST_F(PasscodeUnlockTest, AGuestsOwnPasscodeIsRefusedBySpringBoardThenTheOwnersStoredPasscodeUnlocks)
{
    for (int ios : { 12, 13, 14 }) {
        launchFor("Emma", ios);
        Outcome outcome = type("1111");
        EXPECT_TRUE(outcome.answer) << "iOS " << ios;
        EXPECT_FALSE(outcome.locked) << "iOS " << ios;
        EXPECT_EQ(outcome.attempts, (Strings { "typed refused", "owner verified", "owner unlocked" })) << "iOS " << ios;
        EXPECT_EQ(outcome.completionCalls, 1) << "SpringBoard's completion belongs to the typed attempt alone";
    }
}

TEST_F(PasscodeUnlockTest, TheOwnersAccountPasscodeTypedDuringAGuestsVisitDoesNotUnlock)
{
    launchFor("Emma");
    Outcome outcome = type("0000");
    EXPECT_FALSE(outcome.answer);
    EXPECT_TRUE(outcome.locked);
    EXPECT_EQ(outcome.attempts, Strings { "typed refused" });
}

TEST_F(PasscodeUnlockTest, WithoutAStoredOwnerPasscodeOnlySpringBoardsOwnAttemptIsMade)
{
    mainSettings->setObject(""_ns, Key::adminPasscode);
    launchFor("Emma");
    Outcome outcome = type("1111");
    EXPECT_FALSE(outcome.answer);
    EXPECT_TRUE(outcome.locked);
    EXPECT_EQ(outcome.attempts, Strings { "typed refused" });
}

TEST_F(PasscodeUnlockTest, ARecordWithoutPasscodeOrWithAnEmptyOneNeverLeadsToOwnerAttempts)
{
    writeUsers({ { "Emma", guestRecord("Emma", { { "PassCode", ""_ns } }) }, { "Noah", NSDictionary::dictionary({ { "UserName", "Noah"_ns } }) } });
    launchFor("Emma");
    for (const char* typed : { "", "1111" }) {
        Outcome outcome = type(typed);
        EXPECT_TRUE(outcome.locked) << "typed \"" << typed << "\"";
        EXPECT_EQ(outcome.attempts, Strings { "typed refused" }) << "typed \"" << typed << "\"";
    }
    launchFor("Noah");
    for (const char* typed : { "", "2468" }) {
        Outcome outcome = type(typed);
        EXPECT_TRUE(outcome.locked) << "typed \"" << typed << "\"";
        EXPECT_EQ(outcome.attempts, Strings { "typed refused" }) << "typed \"" << typed << "\"";
    }
}

TEST_F(PasscodeUnlockTest, AWrongStoredOwnerPasscodeStopsAfterTheFirstOwnerAttempt)
{
    mainSettings->setObject("999999"_ns, Key::adminPasscode);
    launchFor("Emma");
    Outcome outcome = type("1111");
    EXPECT_FALSE(outcome.answer);
    EXPECT_TRUE(outcome.locked);
    EXPECT_EQ(outcome.attempts, (Strings { "typed refused", "owner refused" }));
}

TEST_F(PasscodeUnlockTest, AnAccountPasscodeThatIsTheDevicePasscodeStillMakesTheOwnerAttempts)
{
    writeUsers({ { "Emma", guestRecord("Emma", { { "PassCode", "123456"_ns } }) } });
    launchFor("Emma");
    Outcome outcome = type("123456");
    EXPECT_TRUE(outcome.answer);
    EXPECT_EQ(outcome.attempts, (Strings { "typed unlocked", "owner verified", "owner unlocked" }));
}

TEST_F(PasscodeUnlockTest, WhereNoOwnerAttemptFollowsSpringBoardsOwnSuccessIsAnswered)
{
    // The device passcode typed during a guest's visit: SpringBoard unlocks, and the
    // answer says so.
    launchFor("Emma");
    Outcome devicePasscode = type("123456");
    EXPECT_TRUE(devicePasscode.answer);
    EXPECT_FALSE(devicePasscode.locked);
    EXPECT_EQ(devicePasscode.attempts, Strings { "typed unlocked" });

    // The guest's own passcode on a device without a passcode and without a stored owner
    // passcode: SpringBoard accepts it, and the answer says so too.
    setDevicePasscode(std::nullopt);
    mainSettings->setObject(""_ns, Key::adminPasscode);
    launchFor("Emma");
    Outcome noDevicePasscode = type("1111");
    EXPECT_TRUE(noDevicePasscode.answer);
    EXPECT_FALSE(noDevicePasscode.locked);
    EXPECT_EQ(noDevicePasscode.attempts, Strings { "typed unlocked" });
}

TEST_F(PasscodeUnlockTest, TheGuestsPasscodeOnADeviceWithoutPasscodeUnlocksThroughBothAttempts)
{
    setDevicePasscode(std::nullopt);
    launchFor("Emma");
    Outcome outcome = type("1111");
    EXPECT_TRUE(outcome.answer);
    EXPECT_FALSE(outcome.locked);
    EXPECT_EQ(outcome.attempts, (Strings { "typed unlocked", "owner verified", "owner unlocked" }));
}

TEST_F(PasscodeUnlockTest, APasscodeChangedByThePreferenceBundleCountsFromTheNextAttempt)
{
    launchFor("Emma");
    writeUsers({ { "Emma", guestRecord("Emma", { { "PassCode", "7777"_ns } }) } });
    EXPECT_TRUE(type("1111").locked);
    EXPECT_FALSE(type("7777").locked);
}

} // namespace
