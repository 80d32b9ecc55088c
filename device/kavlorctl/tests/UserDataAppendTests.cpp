// `user add` puts a record into kavlorctl's own binary user-data file without writing the
// other records again. What a property-list reader reads back must be exactly what a whole
// rewrite gives; where an add cannot be made that way, the file is written whole.

#include "KavlorctlRunner.h"

#include "BinaryPlistLayout.h"
#include "PropertyList.h"

#include <gmock/gmock.h>

#include <filesystem>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

// The trailer of a binary property list: its last 32 bytes.
struct Trailer {
    unsigned referenceSize = 0;
    uint64_t objectCount = 0;
    uint64_t offsetTable = 0;
};

uint64_t bigEndian(const std::vector<uint8_t>& bytes, size_t at)
{
    uint64_t value = 0;
    for (size_t i = 0; i < 8; ++i)
        value = value << 8 | bytes[at + i];
    return value;
}

Trailer trailerOf(const std::vector<uint8_t>& bytes)
{
    size_t at = bytes.size() - 32;
    return { bytes[at + 7], bigEndian(bytes, at + 8), bigEndian(bytes, at + 24) };
}

// Whether `after` starts with every object of `before`, byte for byte.
bool keepsObjectsOf(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after)
{
    auto objectsEnd = static_cast<ptrdiff_t>(trailerOf(before).offsetTable);
    return after.size() > before.size() && std::equal(before.begin(), before.begin() + objectsEnd, after.begin());
}

// Whether every object of the file is in use, as in a file written whole. (Not compared
// with a serialisation of what it holds: libplist's writer orders shared objects
// differently from one run to the next.)
bool isWrittenWhole(const std::vector<uint8_t>& bytes)
{
    auto layout = BinaryPlistLayout::of(bytes);
    auto reachable = layout ? layout->reachableBytes({ layout->rootIndex() }) : std::nullopt;
    return reachable && *reachable == layout->offsetTableAt() - BinaryPlistLayout::kHeaderSize;
}

class UserDataAppendTest : public KavlorctlTest {
protected:
    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        auto records = plist(kUserData);
        for (const auto& [key, value] : records->entries())
            result.push_back(key->utf8());
        return result;
    }
    void add(std::vector<std::string> arguments) const
    {
        arguments.insert(arguments.begin(), { "user", "add" });
        auto result = run(arguments);
        ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    }
    void forgetSummary() const { std::filesystem::remove(hostPath(std::string(kUserData) + ".summary")); }
    // A picture larger than the samples (which are a few kilobytes, as small as the
    // records' other fields): the sample with `extra` bytes after its end, which readers of
    // the picture ignore.
    std::string largePicture(const std::string& sampleName, size_t extra) const
    {
        auto bytes = hostFileBytes(sample(sampleName));
        for (size_t i = 0; i < extra; ++i)
            bytes.push_back(static_cast<uint8_t>(i * 7 + extra));
        std::string path = m_scratch + "/large-" + std::to_string(extra) + "-" + sampleName;
        writeHostFile(path, bytes);
        return path;
    }
};

TEST_F(UserDataAppendTest, AnAddKeepsTheOtherRecordsAsTheyAreAndReadsBackAsAWholeRewriteWould)
{
    std::string wallpaper = largePicture("wallpaper-sea.jpg", 70000);
    add({ "Mira", "--passcode", "2468", "--avatar", largePicture("avatar-mira.png", 9000), "--wallpaper", wallpaper });
    add({ "Luca", "--passcode", "1", "--avatar", sample("avatar-luca.jpg"), "--time-limit", "2" });
    add({ "Zoë", "--passcode", "3", "--block", "search" });
    auto before = fileBytes(kUserData);
    ASSERT_TRUE(before);

    std::string avatar = largePicture("avatar-otto.png", 20000);
    const std::vector<std::string> otto { "Otto", "--passcode", "4242", "--avatar", avatar, "--wallpaper", wallpaper,
        "--block", "control-center" };
    add(otto);
    auto appended = fileBytes(kUserData);
    ASSERT_TRUE(appended);
    EXPECT_TRUE(keepsObjectsOf(*before, *appended)) << "the other records were written again";
    auto appendedRecords = plist(kUserData);
    ASSERT_TRUE(appendedRecords) << "the appended file does not read";
    EXPECT_THAT(names(), ElementsAre("Mira", "Luca", "Zoë", "Otto"));
    auto ottoRecord = appendedRecords->valueForKey<NSDictionary>("Otto");
    ASSERT_TRUE(ottoRecord);
    EXPECT_EQ(ottoRecord->valueForKey<NSData>("profileIcon")->copyBytes(), hostFileBytes(avatar));
    EXPECT_EQ(ottoRecord->valueForKey<NSData>("WallPaperData")->copyBytes(), hostFileBytes(wallpaper));

    // The same add on the same file, written whole (without the summary kavlorctl parses it).
    writeFileBytes(kUserData, *before);
    forgetSummary();
    add(otto);
    auto rewritten = fileBytes(kUserData);
    ASSERT_TRUE(rewritten);
    EXPECT_TRUE(isWrittenWhole(*rewritten));
    EXPECT_TRUE(isEqual(appendedRecords, plist(kUserData)));
    EXPECT_THAT(names(), ElementsAre("Mira", "Luca", "Zoë", "Otto"));
}

// A replaced record stays where it was; the old one is left unreferenced until a quarter of
// the file is, and then the file is written whole again, so it never grows without bound.
TEST_F(UserDataAppendTest, ReplacingKeepsTheRecordsPlaceAndTheFileIsCompactedBeforeAQuarterIsUnused)
{
    size_t extra = 6000;
    for (const char* name : { "Mira", "Luca", "Otto", "Ada" })
        add({ name, "--passcode", "1", "--avatar", largePicture("avatar-mira.png", extra += 100) });
    int appends = 0, rewrites = 0;
    for (int round = 0; round < 8; ++round) {
        auto before = fileBytes(kUserData);
        std::string passcode = std::to_string(100 + round);
        add({ "Luca", "--replace", "--passcode", passcode, "--avatar", largePicture("avatar-otto.png", 6000 + round) });
        auto after = fileBytes(kUserData);
        ASSERT_TRUE(after);
        EXPECT_THAT(names(), ElementsAre("Mira", "Luca", "Otto", "Ada")) << round;
        EXPECT_TRUE(plist(kUserData)->valueForKey<NSDictionary>("Luca")->valueForKey<NSString>("PassCode")->isEqualToString(passcode));
        auto compactSize = PropertyList::serialize(plist(kUserData), PropertyList::Format::Binary).size();
        EXPECT_LE(double(after->size()), double(compactSize) / 0.75 + 64) << "round " << round;
        if (keepsObjectsOf(*before, *after))
            ++appends;
        else if (isWrittenWhole(*after))
            ++rewrites;
    }
    EXPECT_GT(appends, 0);
    EXPECT_GT(rewrites, 0);
    EXPECT_EQ(appends + rewrites, 8);
}

// A file with up to 256 objects numbers them in one byte. Adds that would need more are
// written whole (which shares the records' equal values, and so needs far fewer).
TEST_F(UserDataAppendTest, AnAddThatOneByteReferencesCannotNumberIsWrittenWhole)
{
    std::vector<std::string> expected;
    int appends = 0, rewritesAfterAppends = 0;
    for (int guest = 0; guest < 30; ++guest) {
        auto before = fileBytes(kUserData);
        expected.push_back("Guest" + std::to_string(guest));
        add({ expected.back(), "--passcode", std::to_string(1000 + guest) });
        auto after = fileBytes(kUserData);
        ASSERT_TRUE(after);
        ASSERT_EQ(names(), expected) << "after " << expected.back();
        Trailer trailer = trailerOf(*after);
        ASSERT_LT(trailer.referenceSize, 8u);
        EXPECT_LE(trailer.objectCount, uint64_t(1) << (8 * trailer.referenceSize));
        if (before && keepsObjectsOf(*before, *after)) {
            ++appends;
        } else if (appends > 0) {
            EXPECT_TRUE(isWrittenWhole(*after));
            ++rewritesAfterAppends;
        }
    }
    EXPECT_GT(appends, 10);
    EXPECT_GT(rewritesAfterAppends, 0) << "thirty records' objects never passed what one byte numbers";
}

// The names are known without parsing only for the file kavlorctl itself last wrote or
// read; a file someone else changed is parsed, and one in XML stays XML.
TEST_F(UserDataAppendTest, AFileSomeoneElseChangedIsReadWholeAndKeepsItsFormat)
{
    add({ "Mira", "--passcode", "1" });
    auto records = plist(kUserData)->mutableCopy();
    records->setObject(NSDictionary::dictionary({ { "UserName", "Zoe"_ns }, { "PassCode", "7"_ns } }), "Zoe");
    writeFileBytes(kUserData, PropertyList::serialize(records, PropertyList::Format::Binary));
    auto handWritten = fileBytes(kUserData);

    auto refused = run({ "user", "add", "Zoe", "--passcode", "2" });
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_THAT(refused.standardError, HasSubstr("a user named 'Zoe' already exists in " + hostPath(kUserData)));
    EXPECT_EQ(fileBytes(kUserData), handWritten);
    add({ "Ann", "--passcode", "3" });
    EXPECT_THAT(names(), ElementsAre("Mira", "Zoe", "Ann"));

    writeFileBytes(kUserData, PropertyList::serialize(NSDictionary::dictionary({ { "Mira", plist(kUserData)->objectForKey("Mira") } })));
    for (const char* name : { "Ben", "Cy" })
        add({ name, "--passcode", "4" });
    auto text = fileBytes(kUserData);
    ASSERT_TRUE(text);
    EXPECT_EQ(std::string(text->begin(), text->begin() + 5), "<?xml");
    EXPECT_THAT(names(), ElementsAre("Mira", "Ben", "Cy"));
}

} // namespace
