// What kavlorctl writes is what the library reads: an account added and disabled through the
// real program is read back by the profile store, every field and toggle, as SpringBoard
// reads it when that account is active.

#include "KavlorctlRunner.h"

#include "HBPreferences.h"
#include "MainInitialiser.h"
#include "ProfileStore.h"

#include <cstdlib>

namespace {

using namespace KavlorSchema;

class LibraryReadsTest : public KavlorctlTest {
protected:
    void SetUp() override
    {
        KavlorctlTest::SetUp();
        ::setenv("KAVLOR_DEVICE_ROOT", hostPath("").c_str(), 1);
        secondInitialiser();
        mainSettings = HBPreferences::preferencesForIdentifier(kSettingsDomain);
    }
    void TearDown() override
    {
        mainSettings = nullptr;
        activeUser = nil;
        ::unsetenv("KAVLOR_DEVICE_ROOT");
        KavlorctlTest::TearDown();
    }
};

TEST_F(LibraryReadsTest, AnAccountKavlorctlWritesIsTheRecordTheProfileStoreFetches)
{
    ASSERT_EQ(run({ "user", "add", "Mira", "--passcode", "2468", "--avatar", sample("avatar-mira.png"), "--wallpaper",
                  sample("wallpaper-sea.jpg"), "--block", "control-center,notifications,today", "--block", "time-limit",
                  "--time-limit", "3" })
                  .exitStatus,
        0);
    ASSERT_EQ(run({ "apps", "disable", "Mira", "com.apple.mobilesafari", "com.apple.camera" }).exitStatus, 0);
    ASSERT_EQ(run({ "set", Key::activeUser, "Mira" }).exitStatus, 0);

    auto record = fetchCrntUserData();
    ASSERT_TRUE(record);
    EXPECT_TRUE(isEqual(activeUser, "Mira"_ns));
    EXPECT_EQ(recordString(record, RecordKey::userName)->utf8(), "Mira");
    EXPECT_EQ(recordString(record, RecordKey::passCode)->utf8(), "2468");
    EXPECT_EQ(recordData(record, RecordKey::profileIcon)->copyBytes(), hostFileBytes(sample("avatar-mira.png")));
    EXPECT_EQ(recordData(record, RecordKey::wallPaperData)->copyBytes(), hostFileBytes(sample("wallpaper-sea.jpg")));
    EXPECT_TRUE(recordToggle(record, Toggle::blockControlCenter));
    EXPECT_TRUE(recordToggle(record, Toggle::blockNotifications));
    EXPECT_FALSE(recordToggle(record, Toggle::blockSearch));
    EXPECT_TRUE(recordToggle(record, Toggle::blockTodayView));
    EXPECT_FALSE(recordToggle(record, Toggle::blockAppDeletion));
    EXPECT_TRUE(recordToggle(record, Toggle::limitTime));
    ASSERT_TRUE(recordTimeLimitMinutes(record));
    EXPECT_EQ(recordTimeLimitMinutes(record)->integerValue(), 45);

    auto disabled = fetchDisabledApps();
    ASSERT_TRUE(disabled);
    EXPECT_TRUE(listContains(disabled, "com.apple.mobilesafari"_ns));
    EXPECT_TRUE(listContains(disabled, "com.apple.camera"_ns));
}

TEST_F(LibraryReadsTest, EveryTimeLimitKavlorctlOffersCountsDownTheLibrarysMinutes)
{
    for (size_t limit = 0; limit < kTimeLimitMinutes.size(); ++limit) {
        std::string name = "Guest" + std::to_string(limit);
        ASSERT_EQ(run({ "user", "add", name, "--passcode", "1", "--block", "time-limit", "--time-limit", std::to_string(limit) }).exitStatus, 0);
        ASSERT_EQ(run({ "set", Key::activeUser, name }).exitStatus, 0);
        auto minutes = recordTimeLimitMinutes(fetchCrntUserData());
        ASSERT_TRUE(minutes) << name;
        EXPECT_EQ(minutes->integerValue(), kTimeLimitMinutes[limit]) << name;
    }
}

// Records added to a file one after the other (the later ones without the earlier ones
// being written again), and one replaced, are each the record the profile store fetches.
TEST_F(LibraryReadsTest, EveryRecordOfAFileAddedToIsTheOneTheProfileStoreFetches)
{
    const std::vector<std::vector<std::string>> adds {
        { "Mira", "--passcode", "2468", "--avatar", sample("avatar-mira.png"), "--wallpaper", sample("wallpaper-sea.jpg") },
        { "Luca", "--passcode", "1", "--avatar", sample("avatar-luca.jpg"), "--block", "time-limit", "--time-limit", "2" },
        { "Otto", "--passcode", "7", "--wallpaper", sample("wallpaper-dusk.png"), "--block", "search" },
        { "Luca", "--passcode", "5", "--replace", "--block", "today" },
    };
    for (auto arguments : adds) {
        arguments.insert(arguments.begin(), { "user", "add" });
        ASSERT_EQ(run(arguments).exitStatus, 0);
    }
    auto file = plist(kUserData);
    ASSERT_TRUE(file);
    ASSERT_EQ(file->count(), 3u);
    EXPECT_EQ(file->entries().back().first->utf8(), "Otto");
    for (const char* name : { "Mira", "Luca", "Otto" }) {
        ASSERT_EQ(run({ "set", Key::activeUser, name }).exitStatus, 0);
        auto record = fetchCrntUserData();
        ASSERT_TRUE(record) << name;
        EXPECT_TRUE(isEqual(record, file->objectForKey(name))) << name;
    }
    ASSERT_EQ(run({ "set", Key::activeUser, "Luca" }).exitStatus, 0);
    auto luca = fetchCrntUserData();
    EXPECT_EQ(recordString(luca, RecordKey::passCode)->utf8(), "5");
    EXPECT_TRUE(recordToggle(luca, Toggle::blockTodayView));
    EXPECT_FALSE(recordToggle(luca, Toggle::limitTime));
    ASSERT_EQ(run({ "set", Key::activeUser, "Mira" }).exitStatus, 0);
    EXPECT_EQ(recordData(fetchCrntUserData(), RecordKey::wallPaperData)->copyBytes(), hostFileBytes(sample("wallpaper-sea.jpg")));
}

} // namespace
