// user add / remove / list and apps disable / enable, through the real program: the
// layouts of the two files afterwards, and that refused commands change nothing.

#include "KavlorctlRunner.h"

#include "PropertyList.h"

#include <gmock/gmock.h>

#include <fmt/format.h>

#include <cstdlib>
#include <thread>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

std::vector<std::string> strings(const Id<NSArray>& array)
{
    std::vector<std::string> result;
    for (const auto& item : *array)
        result.push_back(item.as<NSString>() ? item.as<NSString>()->utf8() : "<not a string>");
    return result;
}

Id<NSNumber> numberAt(const Id<NSDictionary>& dictionary, const char* key)
{
    return dictionary->valueForKey<NSNumber>(key);
}

class AccountTest : public KavlorctlTest {
protected:
    Id<NSDictionary> record(const std::string& name) const
    {
        auto userData = plist(kUserData);
        return userData ? userData->valueForKey<NSDictionary>(name) : nullptr;
    }
    std::vector<std::string> disabledApps(const std::string& name) const
    {
        auto entry = plist(kAppList)->valueForKey<NSDictionary>(name);
        return strings(entry->valueForKey<NSArray>("Disabled"));
    }
    void addPlainUser(const std::string& name) const
    {
        ASSERT_EQ(run({ "user", "add", name, "--passcode", "1111" }).exitStatus, 0);
    }
};

TEST_F(AccountTest, UserAddWritesEveryFieldWithItsType)
{
    auto result = run({ "user", "add", "Mira", "--passcode", "2468", "--avatar", sample("avatar-mira.png"),
        "--wallpaper", sample("wallpaper-sea.jpg"), "--block", "control-center,search", "--block", "app-deletion",
        "--block", "time-limit", "--time-limit", "3" });
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, "added user Mira\n");

    auto mira = record("Mira");
    ASSERT_TRUE(mira);
    ASSERT_TRUE(mira->valueForKey<NSString>("UserName"));
    EXPECT_EQ(mira->valueForKey<NSString>("UserName")->utf8(), "Mira");
    ASSERT_TRUE(mira->valueForKey<NSData>("profileIcon"));
    EXPECT_EQ(mira->valueForKey<NSData>("profileIcon")->copyBytes(), hostFileBytes(sample("avatar-mira.png")));
    ASSERT_TRUE(mira->valueForKey<NSData>("WallPaperData"));
    EXPECT_EQ(mira->valueForKey<NSData>("WallPaperData")->copyBytes(), hostFileBytes(sample("wallpaper-sea.jpg")));
    ASSERT_TRUE(mira->valueForKey<NSString>("PassCode"));
    EXPECT_EQ(mira->valueForKey<NSString>("PassCode")->utf8(), "2468");
    auto limit = numberAt(mira, "LimitedTime");
    ASSERT_TRUE(limit);
    EXPECT_EQ(limit->kind(), NSNumber::Kind::Integer);
    EXPECT_EQ(limit->integerValue(), 3);

    auto toggles = mira->valueForKey<NSDictionary>("toggleData");
    ASSERT_TRUE(toggles);
    ASSERT_EQ(toggles->count(), 6u);
    const bool expected[] = { true, false, true, false, true, true };
    for (int index = 0; index < 6; ++index) {
        auto toggle = numberAt(toggles, std::to_string(index).c_str());
        ASSERT_TRUE(toggle) << "toggle " << index;
        EXPECT_EQ(toggle->kind(), NSNumber::Kind::Boolean) << "toggle " << index;
        EXPECT_EQ(toggle->boolValue(), expected[index]) << "toggle " << index;
    }
}

TEST_F(AccountTest, UserAddWithoutPicturesStoresTheDefaultAvatarAndNoOptionalFields)
{
    addPlainUser("Luca");
    auto luca = record("Luca");
    ASSERT_TRUE(luca);
    ASSERT_TRUE(luca->valueForKey<NSData>("profileIcon"));
    EXPECT_EQ(luca->valueForKey<NSData>("profileIcon")->copyBytes(), hostFileBytes(sample("avatar-default.png")));
    EXPECT_FALSE(luca->objectForKey("WallPaperData"));
    EXPECT_FALSE(luca->objectForKey("LimitedTime"));
    auto toggles = luca->valueForKey<NSDictionary>("toggleData");
    ASSERT_TRUE(toggles);
    EXPECT_EQ(toggles->count(), 6u);
    for (const auto& [key, value] : toggles->entries())
        EXPECT_FALSE(value.as<NSNumber>()->boolValue()) << key->utf8();
}

TEST_F(AccountTest, ATimeLimitSwitchesTheCountdownOnAndAJPEGAvatarIsKeptAsItIs)
{
    ASSERT_EQ(run({ "user", "add", "Otto", "--passcode", "1", "--time-limit", "6", "--avatar", sample("avatar-luca.jpg") }).exitStatus, 0);
    auto otto = record("Otto");
    EXPECT_TRUE(numberAt(otto->valueForKey<NSDictionary>("toggleData"), "5")->boolValue());
    EXPECT_EQ(numberAt(otto, "LimitedTime")->integerValue(), 6);
    EXPECT_EQ(otto->valueForKey<NSData>("profileIcon")->copyBytes(), hostFileBytes(sample("avatar-luca.jpg")));

    auto listing = run({ "user", "list" });
    EXPECT_THAT(listing.standardOutput, HasSubstr("180 min"));
}

TEST_F(AccountTest, AnExistingUserIsRefusedUnlessReplacedAndReplacingKeepsItsApps)
{
    addPlainUser("Mira");
    ASSERT_EQ(run({ "apps", "disable", "Mira", "com.apple.camera" }).exitStatus, 0);
    auto before = fileBytes(kUserData);

    auto refused = run({ "user", "add", "Mira", "--passcode", "9999" });
    EXPECT_NE(refused.exitStatus, 0);
    EXPECT_THAT(refused.standardError, HasSubstr("'Mira' already exists"));
    EXPECT_EQ(fileBytes(kUserData), before);

    auto replaced = run({ "user", "add", "Mira", "--passcode", "9999", "--replace" });
    ASSERT_EQ(replaced.exitStatus, 0) << replaced.standardError;
    EXPECT_EQ(replaced.standardOutput, "replaced user Mira\n");
    EXPECT_EQ(record("Mira")->valueForKey<NSString>("PassCode")->utf8(), "9999");
    EXPECT_THAT(disabledApps("Mira"), ElementsAre("com.apple.camera"));
}

TEST_F(AccountTest, UserRemoveDropsTheRecordAndItsAppListOnly)
{
    addPlainUser("Mira");
    addPlainUser("Luca");
    ASSERT_EQ(run({ "apps", "disable", "Mira", "com.apple.camera" }).exitStatus, 0);
    ASSERT_EQ(run({ "apps", "disable", "Luca", "com.apple.Maps" }).exitStatus, 0);

    auto result = run({ "user", "remove", "Mira" });
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_FALSE(record("Mira"));
    EXPECT_TRUE(record("Luca"));
    EXPECT_FALSE(plist(kAppList)->objectForKey("Mira"));
    EXPECT_THAT(disabledApps("Luca"), ElementsAre("com.apple.Maps"));

    auto again = run({ "user", "remove", "Mira" });
    EXPECT_NE(again.exitStatus, 0);
    EXPECT_THAT(again.standardError, HasSubstr("no user named 'Mira'"));
}

TEST_F(AccountTest, DisableAppendsInOrderWithoutDuplicatesAndEnableKeepsTheRestInOrder)
{
    addPlainUser("Mira");
    ASSERT_EQ(run({ "apps", "disable", "Mira", "com.b", "com.a", "com.b" }).exitStatus, 0);
    auto result = run({ "apps", "disable", "Mira", "com.c", "com.a", "com.d" });
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_THAT(disabledApps("Mira"), ElementsAre("com.b", "com.a", "com.c", "com.d"));
    EXPECT_EQ(result.standardOutput, "Mira disabled apps: com.b, com.a, com.c, com.d\n");

    ASSERT_EQ(run({ "apps", "enable", "Mira", "com.a", "com.d" }).exitStatus, 0);
    EXPECT_THAT(disabledApps("Mira"), ElementsAre("com.b", "com.c"));

    // Nothing to change: the file is not rewritten.
    auto before = fileBytes(kAppList);
    EXPECT_EQ(run({ "apps", "enable", "Mira", "com.never.listed" }).exitStatus, 0);
    EXPECT_EQ(fileBytes(kAppList), before);
}

TEST_F(AccountTest, AppsKeepOtherKeysOtherAccountsAndTheBinaryFormat)
{
    addPlainUser("Mira");
    auto mira = NSDictionary::mutableDictionary({ { "Disabled", NSArray::array({ "com.x"_ns }) }, { "Note", "kept"_ns } });
    auto root = NSDictionary::mutableDictionary({ { "Stranger", NSDictionary::dictionary({ { "Other", "1"_ns } }) }, { "Mira", mira } });
    writeFileBytes(kAppList, PropertyList::serialize(root, PropertyList::Format::Binary));

    ASSERT_EQ(run({ "apps", "disable", "Mira", "com.y" }).exitStatus, 0);
    auto bytes = fileBytes(kAppList);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->begin() + 6), "bplist");
    auto written = plist(kAppList);
    EXPECT_EQ(written->valueForKey<NSDictionary>("Mira")->valueForKey<NSString>("Note")->utf8(), "kept");
    EXPECT_TRUE(isEqual(written->objectForKey("Stranger"), root->objectForKey("Stranger")));
    EXPECT_THAT(disabledApps("Mira"), ElementsAre("com.x", "com.y"));
}

TEST_F(AccountTest, UserListShowsEveryAccountReadably)
{
    ASSERT_EQ(run({ "user", "add", "Mira", "--passcode", "1", "--block", "today,notifications", "--time-limit", "3" }).exitStatus, 0);
    addPlainUser("Luca");
    ASSERT_EQ(run({ "apps", "disable", "Mira", "com.apple.camera", "com.apple.Maps" }).exitStatus, 0);

    auto listing = run({ "user", "list" });
    ASSERT_EQ(listing.exitStatus, 0);
    EXPECT_EQ(listing.standardOutput,
        "NAME  PASSCODE  BLOCKED              TIME LIMIT  DISABLED APPS\n"
        "Mira  yes       notifications,today  45 min      com.apple.camera, com.apple.Maps\n"
        "Luca  yes       -                    off         -\n");
}

// `user list` and `apps disable` read the records' picture-less summary kept beside the
// user-data file; a summary the file has moved on from is never used.
TEST_F(AccountTest, ListingsFollowTheUserDataFileWhoeverChangedIt)
{
    ASSERT_EQ(run({ "user", "add", "Mira", "--passcode", "1", "--wallpaper", sample("wallpaper-sea.jpg") }).exitStatus, 0);
    auto summary = plist(std::string(kUserData) + ".summary");
    ASSERT_TRUE(summary) << "kavlorctl kept no summary";
    auto mira = summary->valueForKey<NSDictionary>("Records")->valueForKey<NSDictionary>("Mira");
    ASSERT_TRUE(mira);
    EXPECT_FALSE(mira->objectForKey("WallPaperData")) << "the summary holds pictures";
    EXPECT_TRUE(mira->valueForKey<NSString>("PassCode")->isEqualToString("1"));

    // Changed by someone else (in place, another size): the listing shows the file as it is.
    auto users = plist(kUserData)->mutableCopy();
    auto edited = users->valueForKey<NSDictionary>("Mira")->mutableCopy();
    edited->setObject(""_ns, "PassCode");
    users->setObject(edited, "Mira");
    users->setObject(NSDictionary::dictionary({ { "UserName", "Zoe"_ns }, { "PassCode", "7"_ns } }), "Zoe");
    writeHostFile(hostPath(kUserData), PropertyList::serialize(users));
    auto listing = run({ "user", "list" });
    ASSERT_EQ(listing.exitStatus, 0);
    EXPECT_THAT(listing.standardOutput, HasSubstr("Mira  no"));
    EXPECT_THAT(listing.standardOutput, HasSubstr("Zoe"));
    EXPECT_EQ(run({ "apps", "disable", "Zoe", "com.apple.camera" }).exitStatus, 0);

    // Removed by someone else: nobody is left to disable apps for.
    writeHostFile(hostPath(kUserData), PropertyList::serialize(NSDictionary::dictionary()));
    auto refused = run({ "apps", "disable", "Mira", "com.apple.news" });
    EXPECT_NE(refused.exitStatus, 0);
    EXPECT_THAT(refused.standardError, HasSubstr("Mira"));
}

// Each refused command names the value at fault, exits non-zero and leaves every file as
// it was, byte for byte.
TEST_F(AccountTest, BadInputIsRefusedNamingItAndChangesNothing)
{
    addPlainUser("Mira");
    ASSERT_EQ(run({ "apps", "disable", "Mira", "com.apple.camera" }).exitStatus, 0);
    ASSERT_EQ(run({ "set", "toggleKavlor", "true" }).exitStatus, 0);
    std::string textFile = m_scratch + "/notes.txt";
    writeHostFile(textFile, { 'h', 'i', '\n' });
    std::string truncatedPNG = m_scratch + "/truncated.png";
    auto png = hostFileBytes(sample("avatar-mira.png"));
    png.resize(png.size() / 2);
    writeHostFile(truncatedPNG, png);

    struct Case {
        std::vector<std::string> arguments;
        std::string named;
    };
    const std::vector<Case> cases = {
        { { "user", "remove", "Nobody" }, "Nobody" },
        { { "apps", "disable", "Nobody", "com.a" }, "Nobody" },
        { { "apps", "enable", "Nobody", "com.a" }, "Nobody" },
        { { "apps", "disable", "Mira", "com.ok", "not an id" }, "not an id" },
        { { "user", "add", "Ann", "--passcode", "1", "--time-limit", "7" }, "'7'" },
        { { "user", "add", "Ann", "--passcode", "1", "--time-limit", "two" }, "'two'" },
        { { "user", "add", "Ann", "--passcode", "1", "--block", "search,wifi" }, "'wifi'" },
        { { "user", "add", "Ann", "--passcode", "1", "--block", "time-limit" }, "--time-limit" },
        { { "user", "add", "Ann", "--passcode", "1", "--avatar", m_scratch + "/missing.png" }, m_scratch + "/missing.png" },
        { { "user", "add", "Ann", "--passcode", "1", "--avatar", textFile }, textFile },
        { { "user", "add", "Ann", "--passcode", "1", "--wallpaper", truncatedPNG }, truncatedPNG },
        { { "user", "add", "Ann", "--passcode", "" }, "passcode" },
        { { "set", "count", "12x", "--int" }, "'12x'" },
        { { "set", "count", "1", "--type", "float" }, "'float'" },
        { { "set", "toggleKavlor", "yes", "--type", "bool" }, "'yes'" },
    };
    auto userData = fileBytes(kUserData);
    auto appList = fileBytes(kAppList);
    auto settings = fileBytes(kSettings);
    for (const auto& testCase : cases) {
        auto result = run(testCase.arguments);
        std::string command = testCase.arguments[0] + " " + testCase.arguments[1] + " " + testCase.arguments[2];
        EXPECT_NE(result.exitStatus, 0) << command;
        EXPECT_THAT(result.standardError, HasSubstr(testCase.named)) << command;
        EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), 1) << result.standardError;
        EXPECT_EQ(fileBytes(kUserData), userData) << command;
        EXPECT_EQ(fileBytes(kAppList), appList) << command;
        EXPECT_EQ(fileBytes(kSettings), settings) << command;
    }
    EXPECT_FALSE(record("Ann"));
}

// Text every file can hold and a person can read: what is not UTF-8 would make a binary
// user-data file unreadable (and an XML one not well formed); a blank, page-long or
// direction-reversing name would mislead whoever reads it on the lock screen. Each is
// refused in one line naming the argument, without echoing the text, and nothing changes.
TEST_F(AccountTest, TextThatCannotBeStoredOrShownIsRefusedNamingTheArgument)
{
    addPlainUser("Mira");
    ASSERT_EQ(run({ "set", "activeUser", "Mira" }).exitStatus, 0);
    const std::string latin1Name = "\xC9lise";
    const std::string reversed = "Ann\xE2\x80\xAEgpj.exe";
    struct Case {
        std::vector<std::string> arguments;
        std::string named;
    };
    const std::vector<Case> cases = {
        { { "user", "add", latin1Name, "--passcode", "1" }, "the user name is not UTF-8 text" },
        { { "user", "add", "Ann", "--passcode", "12\xFF" }, "the passcode is not UTF-8 text" },
        { { "user", "add", "\xC0\x80", "--passcode", "1" }, "the user name is not UTF-8 text" },
        { { "user", "add", "\xED\xA0\x80", "--passcode", "1" }, "the user name is not UTF-8 text" },
        { { "user", "add", "   ", "--passcode", "1" }, "the user name holds only blanks" },
        { { "user", "add", "\xC2\xA0\xE3\x80\x80", "--passcode", "1" }, "the user name holds only blanks" },
        { { "user", "add", std::string(100000, 'a'), "--passcode", "1" }, "the user name is 100000 characters long" },
        { { "user", "add", reversed, "--passcode", "1" }, "the user name holds a character that reverses the direction of the text (U+202E)" },
        { { "user", "add", "Ann\xC2\x85", "--passcode", "1" }, "the user name holds a control character" },
        { { "set", "activeUser", "\xC9lise" }, "the VALUE for activeUser is not UTF-8 text" },
        { { "set", "key\xFF", "x" }, "the settings key is not UTF-8 text" },
    };
    auto userData = fileBytes(kUserData);
    auto settings = fileBytes(kSettings);
    for (const auto& testCase : cases) {
        auto result = run(testCase.arguments);
        EXPECT_EQ(result.exitStatus, 1) << testCase.named;
        EXPECT_THAT(result.standardError, HasSubstr(testCase.named));
        EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), 1) << result.standardError.substr(0, 200);
        EXPECT_LT(result.standardError.size(), 200u) << "the text itself is not echoed";
        EXPECT_EQ(fileBytes(kUserData), userData) << testCase.named;
        EXPECT_EQ(fileBytes(kSettings), settings) << testCase.named;
    }
    // What is fine stays fine: letters of any script, inner blanks, a 64-character name.
    for (const std::string& name : { std::string("\xC3\x89lise M\xC3\xBCller"), std::string("\xE5\xB0\x8F\xE6\x98\x8E"), std::string(64, 'x') })
        EXPECT_EQ(run({ "user", "add", name, "--passcode", "1" }).exitStatus, 0) << name;
    EXPECT_TRUE(record("\xC3\x89lise M\xC3\xBCller"));
}

// The library reads no user-data file past PropertyList::maximumFileSize(); an add that
// would take the file past it is refused, naming the limit and the size now, so no
// "successful" add leaves SpringBoard with no accounts. (The bound is lowered for the
// test through the variable both sides read.)
TEST_F(AccountTest, AnAddThatWouldPassTheSizeTheLibraryReadsIsRefused)
{
    constexpr std::size_t kLimit = 20000;
    ::setenv("KAVLOR_PLIST_SIZE_LIMIT", std::to_string(kLimit).c_str(), 1);
    int added = 0;
    KavlorctlRun refused;
    std::optional<std::vector<uint8_t>> before;
    for (int guest = 0; guest < 20; ++guest) {
        before = fileBytes(kUserData);
        auto result = run({ "user", "add", "Guest" + std::to_string(guest), "--passcode", "1" });
        if (result.exitStatus != 0) {
            refused = result;
            break;
        }
        ++added;
    }
    ::unsetenv("KAVLOR_PLIST_SIZE_LIMIT");
    ASSERT_GT(added, 1);
    ASSERT_EQ(refused.exitStatus, 1) << "twenty avatars do not fit in 20000 bytes";
    ASSERT_TRUE(before);
    EXPECT_THAT(refused.standardError, HasSubstr(fmt::format("past the {} bytes SpringBoard reads (it holds {} bytes now); nothing was changed", kLimit, before->size())));
    EXPECT_EQ(fileBytes(kUserData), before);
    EXPECT_LE(before->size(), kLimit);
    EXPECT_EQ(plist(kUserData)->count(), size_t(added));
}

// An app-list entry kavlorctl would have to throw away to write its own is refused,
// whatever the command: a "Disabled" that is not an array, an entry that is no dictionary.
TEST_F(AccountTest, AnAppListEntryOfAnotherShapeIsRefusedAndKept)
{
    addPlainUser("Mira");
    addPlainUser("Otto");
    auto appList = NSDictionary::dictionary({
        { "Mira", NSDictionary::dictionary({ { "Disabled", "com.apple.camera"_ns } }) },
        { "Otto", "not an entry"_ns },
    });
    writeFileBytes(kAppList, PropertyList::serialize(appList, PropertyList::Format::Binary));
    auto before = fileBytes(kAppList);
    for (const auto& [name, fault] : std::vector<std::pair<std::string, std::string>> {
             { "Mira", "\"Disabled\" of 'Mira' in " }, { "Otto", "the entry for 'Otto' in " } }) {
        for (const char* command : { "disable", "enable" }) {
            auto result = run({ "apps", command, name, "com.apple.camera" });
            EXPECT_EQ(result.exitStatus, 1) << name << " " << command;
            EXPECT_THAT(result.standardError, HasSubstr(fault));
            EXPECT_THAT(result.standardError, HasSubstr("nothing was changed"));
            EXPECT_EQ(fileBytes(kAppList), before);
        }
    }
}

// Changes made at the same moment by several processes all arrive: none writes back a file
// it read before another's change.
TEST_F(AccountTest, ConcurrentChangesAreNotLost)
{
    addPlainUser("Mira");
    constexpr int kWriters = 6;
    std::vector<std::thread> writers;
    std::vector<int> statuses(kWriters * 2, -1);
    for (int writer = 0; writer < kWriters; ++writer) {
        writers.emplace_back([&, writer] {
            statuses[writer] = run({ "apps", "disable", "Mira", "com.app" + std::to_string(writer) }).exitStatus;
        });
        writers.emplace_back([&, writer] {
            statuses[kWriters + writer] = run({ "user", "add", "Guest" + std::to_string(writer), "--passcode", "1" }).exitStatus;
        });
    }
    for (auto& thread : writers)
        thread.join();
    EXPECT_THAT(statuses, ::testing::Each(0));
    auto apps = disabledApps("Mira");
    EXPECT_EQ(apps.size(), size_t(kWriters));
    for (int writer = 0; writer < kWriters; ++writer) {
        EXPECT_THAT(apps, ::testing::Contains("com.app" + std::to_string(writer)));
        EXPECT_TRUE(record("Guest" + std::to_string(writer))) << writer;
    }
}

TEST_F(AccountTest, ADamagedUserDataFileIsNeverOverwritten)
{
    std::vector<uint8_t> damaged { 'n', 'o', 't', ' ', 'a', ' ', 'p', 'l', 'i', 's', 't' };
    writeFileBytes(kUserData, damaged);
    for (const auto& arguments : std::vector<std::vector<std::string>> { { "user", "add", "Ann", "--passcode", "1" },
             { "user", "list" }, { "apps", "disable", "Ann", "com.a" } }) {
        auto result = run(arguments);
        EXPECT_NE(result.exitStatus, 0);
        EXPECT_THAT(result.standardError, HasSubstr(hostPath(kUserData)));
        EXPECT_EQ(fileBytes(kUserData), damaged);
    }
}

} // namespace
