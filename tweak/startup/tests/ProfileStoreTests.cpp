#include "TweakTestEnvironment.h"

#include "FileSystem.h"
#include "PropertyList.h"
#include "SystemLog.h"

namespace {

using ProfileStoreTest = TweakTestEnvironment;

TEST_F(ProfileStoreTest, TimeLimitTableMapsEachLimitToItsMinutes)
{
    secondInitialiser();
    auto minutesFor = [](long long limit) {
        auto record = NSDictionary::dictionary({ { "LimitedTime", NSNumber::numberWithInteger(limit) } });
        auto minutes = recordTimeLimitMinutes(record);
        return minutes ? minutes->integerValue() : -1;
    };
    EXPECT_EQ(minutesFor(0), 5);
    EXPECT_EQ(minutesFor(3), 45);
    EXPECT_EQ(minutesFor(6), 180);
    EXPECT_EQ(minutesFor(7), -1);
    EXPECT_EQ(minutesFor(-1), -1);
    auto asString = NSDictionary::dictionary({ { "LimitedTime", "3"_ns } });
    EXPECT_FALSE(recordTimeLimitMinutes(asString)) << "a LimitedTime of the wrong type reads as missing";
}

TEST_F(ProfileStoreTest, FetchFindsTheActiveRecordAndLogsIt)
{
    writeUsers({ { "Admin", guestRecord("Admin") }, { "Guest", guestRecord("Guest") } });
    mainSettings->setObject("Guest"_ns, "activeUser");
    SystemLog::Capture log;
    auto record = fetchCrntUserData();
    ASSERT_TRUE(record);
    EXPECT_TRUE(recordString(record, "UserName")->isEqualToString("Guest"));
    EXPECT_TRUE(isEqual(activeUser, "Guest"_ns));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].rfind("xxxxxxxx activeUser data:-{", 0), 0u) << log.lines()[0];
}

TEST_F(ProfileStoreTest, AbsentActiveUserFetchesNothingAndCountsAsOwnerOnlyForIconState)
{
    writeUsers({ { "Guest", guestRecord("Guest") } });
    SystemLog::Capture log;
    EXPECT_FALSE(fetchCrntUserData());
    EXPECT_EQ(log.lines(), std::vector<std::string> { "xxxxxxxx activeUser data:-(null)" });
    EXPECT_TRUE(isOwnerOrUnset(activeUser));
    EXPECT_FALSE(isExactlyOwner(activeUser));
    EXPECT_TRUE(isOwnerOrUnset(""_ns));
    EXPECT_FALSE(isExactlyOwner(""_ns));
    EXPECT_TRUE(isExactlyOwner("Admin"_ns));
    EXPECT_FALSE(isExactlyOwner("admin"_ns));
    EXPECT_FALSE(isOwnerOrUnset("admin"_ns));
}

TEST_F(ProfileStoreTest, RewrittenUserDataIsSeenAtTheNextFetch)
{
    writeUsers({ { "Guest", guestRecord("Guest", { { "PassCode", "1111"_ns } }) } });
    mainSettings->setObject("Guest"_ns, "activeUser");
    EXPECT_TRUE(recordString(fetchCrntUserData(), "PassCode")->isEqualToString("1111"));
    writeUsers({ { "Guest", guestRecord("Guest", { { "PassCode", "2222"_ns } }) } });
    EXPECT_TRUE(recordString(fetchCrntUserData(), "PassCode")->isEqualToString("2222"));
}

TEST_F(ProfileStoreTest, DisabledAppsFollowTheLastFetchedNameNotTheSettings)
{
    writeUsers({ { "Ann", guestRecord("Ann") }, { "Bob", guestRecord("Bob") }, { "Cy", guestRecord("Cy") } });
    writeAppList({ { "Ann", disabledList({ "com.apple.camera" }) }, { "Bob", disabledList({ "com.apple.news" }) } });
    mainSettings->setObject("Ann"_ns, "activeUser");
    fetchCrntUserData();
    mainSettings->setObject("Bob"_ns, "activeUser");
    auto apps = fetchDisabledApps();
    EXPECT_TRUE(listContains(apps, "com.apple.camera"_ns));
    EXPECT_FALSE(listContains(apps, "com.apple.news"_ns));

    mainSettings->setObject("Cy"_ns, "activeUser");
    fetchCrntUserData();
    EXPECT_FALSE(fetchDisabledApps()) << "an account the app list does not hold has no disabled apps";
    EXPECT_FALSE(listContains(nullptr, "com.apple.camera"_ns));
}

TEST_F(ProfileStoreTest, FilesAndFieldsOfTheWrongShapeReadAsMissing)
{
    mainSettings->setObject("Guest"_ns, "activeUser");
    ASSERT_TRUE(FileSystem::writeFile(kUserDataPath, { 'g', 'a', 'r', 'b', 'a', 'g', 'e' }));
    EXPECT_FALSE(fetchCrntUserData());

    ASSERT_TRUE(PropertyList::writeFile(kUserDataPath, NSArray::array({ "Guest"_ns })));
    EXPECT_FALSE(fetchCrntUserData()) << "a root that is not a dictionary";

    writeUsers({ { "Guest", "not a record"_ns } });
    EXPECT_FALSE(fetchCrntUserData());

    writeUsers({ { "Guest", guestRecord("Guest", { { "toggleData", "0"_ns } }) } });
    auto record = fetchCrntUserData();
    ASSERT_TRUE(record);
    EXPECT_FALSE(recordToggle(record, blockControlCenter)) << "toggleData as a string blocks nothing";

    writeAppList({ { "Guest", NSDictionary::dictionary({ { "Disabled", "com.apple.camera"_ns } }) } });
    EXPECT_FALSE(fetchDisabledApps());
}

TEST_F(ProfileStoreTest, TogglesReadTrueOnlyWhereSetAndMissingIndicesReadFalse)
{
    auto record = guestRecord("Guest", { { "toggleData", NSDictionary::dictionary({
                                                              { blockControlCenter, NSNumber::numberWithBool(true) },
                                                              { blockSearch, NSNumber::numberWithBool(false) },
                                                          }) } });
    EXPECT_TRUE(recordToggle(record, blockControlCenter));
    EXPECT_FALSE(recordToggle(record, blockSearch));
    EXPECT_FALSE(recordToggle(record, limitTime));
    EXPECT_FALSE(recordToggle(nullptr, blockControlCenter));
}

TEST_F(ProfileStoreTest, IconStateLoadsWithoutItsEntryAndAMissingFileGivesAnEmptyCopy)
{
    secondInitialiser();
    EXPECT_FALSE(dictState);
    ASSERT_TRUE(mutableDictState);
    EXPECT_EQ(mutableDictState->count(), 0u);
    EXPECT_TRUE(mutableDictState->isMutable());

    ASSERT_TRUE(PropertyList::writeFile(kIconStatePath, NSDictionary::dictionary({ { "other", "kept"_ns } })));
    secondInitialiser();
    ASSERT_TRUE(dictState);
    EXPECT_TRUE(isEqual(mutableDictState, dictState));
    EXPECT_FALSE(mutableDictState->objectForKey("KavlorIconState"));
    mutableDictState->setObject("changed"_ns, "other");
    EXPECT_TRUE(isEqual(dictState->objectForKey("other"), "kept"_ns)) << "dictState keeps the file as loaded";
}


TEST_F(ProfileStoreTest, FetchesOfUnchangedFilesParseNothingAndEditsAreSeenAtTheNextFetch)
{
    writeUsers({ { "Guest", guestRecord("Guest", { { "PassCode", "1111"_ns } }) } });
    writeAppList({ { "Guest", disabledList({ "com.apple.camera" }) } });
    mainSettings->setObject("Guest"_ns, "activeUser");
    fetchCrntUserData();
    fetchDisabledApps();
    unsigned long parses = PropertyList::parseCount();
    for (int call = 0; call < 3; ++call) {
        EXPECT_TRUE(recordString(fetchCrntUserData(), "PassCode")->isEqualToString("1111"));
        EXPECT_TRUE(listContains(fetchDisabledApps(), "com.apple.camera"_ns));
    }
    EXPECT_EQ(PropertyList::parseCount(), parses) << "unchanged files were parsed again";

    writeAppList({ { "Guest", disabledList({ "com.apple.news" }) } });
    EXPECT_TRUE(listContains(fetchDisabledApps(), "com.apple.news"_ns));
    mainSettings->setObject("Other"_ns, "activeUser");
    EXPECT_FALSE(fetchCrntUserData()) << "a change of the active user was not seen";
}

} // namespace
