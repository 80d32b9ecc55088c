#include "FileSystem.h"
#include "PropertyList.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

class PropertyListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = std::filesystem::temp_directory_path() / ("plist-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_root / "var");
        setenv("KAVLOR_DEVICE_ROOT", m_root.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("KAVLOR_DEVICE_ROOT");
        std::filesystem::remove_all(m_root);
    }

    static Id<NSDictionary> sample()
    {
        return NSDictionary::dictionary({
            { "zeta", "last letter"_ns },
            { "alpha", NSNumber::numberWithBool(true) },
            { "LimitedTime", NSNumber::numberWithInteger(3) },
            { "ratio", NSNumber::numberWithDouble(0.25) },
            { "profileIcon", NSData::data({ 0x89, 'P', 'N', 'G', 0 }) },
            { "Disabled", NSArray::array({ "com.apple.camera"_ns, "com.apple.news"_ns }) },
            { "toggleData", NSDictionary::dictionary({ { "0", NSNumber::numberWithBool(false) } }) },
        });
    }

    std::filesystem::path m_root;
};

TEST_F(PropertyListTest, XmlAndBinaryRoundTripKeepValuesAndKeyOrder)
{
    for (auto format : { PropertyList::Format::XML, PropertyList::Format::Binary }) {
        auto bytes = PropertyList::serialize(sample(), format);
        ASSERT_FALSE(bytes.empty());
        auto back = PropertyList::read(bytes).as<NSDictionary>();
        ASSERT_TRUE(back);
        EXPECT_TRUE(isEqual(back, sample()));
        std::vector<std::string> keys;
        for (auto& key : back->allKeys())
            keys.push_back(key->utf8());
        EXPECT_EQ(keys, (std::vector<std::string> { "zeta", "alpha", "LimitedTime", "ratio", "profileIcon", "Disabled", "toggleData" }));
        EXPECT_EQ(back->valueForKey<NSNumber>("alpha")->kind(), NSNumber::Kind::Boolean);
        EXPECT_EQ(back->valueForKey<NSNumber>("LimitedTime")->kind(), NSNumber::Kind::Integer);
    }
}

TEST_F(PropertyListTest, FilesAreResolvedUnderTheDeviceRootAndWrittenAtomically)
{
    ASSERT_TRUE(sample()->writeToFile("/var/settings.plist", true));
    EXPECT_TRUE(std::filesystem::exists(m_root / "var/settings.plist"));
    auto back = NSDictionary::dictionaryWithContentsOfFile("/var/settings.plist");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->count(), 7u);
    for (auto& entry : std::filesystem::directory_iterator(m_root / "var"))
        EXPECT_EQ(entry.path().filename(), "settings.plist") << "no temporary file left behind";
}

// A writer killed during a save leaves its temporary beside the file; the next write of
// that file removes it. A temporary that a living writer holds, one that is seconds old
// (its writer may not hold it yet), and files of other names are left alone.
TEST_F(PropertyListTest, TheNextWriteRemovesTheTemporariesOfDeadWriters)
{
    auto makeFile = [&](const std::string& name, bool old) {
        auto path = m_root / "var" / name;
        std::ofstream(path) << "a half-written copy";
        if (old) {
            auto hourAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
            std::filesystem::last_write_time(path, hourAgo);
        }
        return path;
    };
    auto dead = makeFile("settings.plist.kavlor-write-Ab12Cd", true);
    auto fresh = makeFile("settings.plist.kavlor-write-Xy34Zw", false);
    auto held = makeFile("settings.plist.kavlor-write-Hh56Ll", true);
    auto otherFile = makeFile("other.plist.kavlor-write-Ab12Cd", true);
    auto lookAlike = makeFile("settings.plist.backup", true);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t writer = fork();
    if (writer == 0) {
        // A living writer in a process of its own, holding its temporary locked.
        int fd = ::open(held.c_str(), O_RDONLY);
        ::flock(fd, LOCK_EX);
        (void)!::write(ready[1], "x", 1);
        ::pause();
        _exit(0);
    }
    char byte;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);

    ASSERT_TRUE(sample()->writeToFile("/var/settings.plist", true));
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);

    EXPECT_FALSE(std::filesystem::exists(dead));
    EXPECT_TRUE(std::filesystem::exists(fresh));
    EXPECT_TRUE(std::filesystem::exists(held));
    EXPECT_TRUE(std::filesystem::exists(otherFile)) << "only the temporaries of the file written";
    EXPECT_TRUE(std::filesystem::exists(lookAlike));
    // Once its writer is gone, the held one goes at the next write.
    ASSERT_TRUE(sample()->writeToFile("/var/settings.plist", true));
    EXPECT_FALSE(std::filesystem::exists(held));
}

// A binary "ASCII" string with a byte above 0x7F (here in a key and a value) is not
// UTF-8: read as it came, the file written back from it could not be read again by
// anyone. It is mended as it is read (found by fuzzing).
TEST_F(PropertyListTest, StringsThatAreNotUTF8AreMendedAsTheyAreRead)
{
    const std::vector<uint8_t> file { 'b', 'p', 'l', 'i', 's', 't', '0', '0',
        0xD1, 0x01, 0x02,                      // dictionary of one entry: key 1, value 2
        0x53, 'k', 0xE9, 'y',                  // "k\xE9y" as an ASCII string
        0x55, 'G', 0xBE, 'e', 's', 't',        // "G\xBEest"
        0x08, 0x0B, 0x0F,                      // offsets of the three objects
        0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 21 };
    auto value = PropertyList::read(file).as<NSDictionary>();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->valueForKey<NSString>("k\xEF\xBF\xBDy")->utf8(), "G\xEF\xBF\xBD" "est");
    for (auto format : { PropertyList::Format::XML, PropertyList::Format::Binary })
        EXPECT_TRUE(isEqual(PropertyList::read(PropertyList::serialize(value, format)), value));
}

// libplist aborts the process when it hands out a string or key holding a NUL
// character: such a file (binary, or XML with a NUL byte) reads as nothing instead of
// crashing SpringBoard at every start (found by fuzzing).
TEST_F(PropertyListTest, AStringHoldingANulReadsAsNothingInsteadOfAborting)
{
    auto binaryWith = [](uint8_t keyByte, uint8_t valueByte) {
        return std::vector<uint8_t> { 'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xD1, 0x01, 0x02,
            0x53, 'k', keyByte, 'y', 0x55, 'G', valueByte, 'e', 's', 't', 0x08, 0x0B, 0x0F,
            0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 21 };
    };
    ASSERT_TRUE(PropertyList::read(binaryWith('e', 'u'))) << "the same file without a NUL reads";
    EXPECT_FALSE(PropertyList::read(binaryWith(0, 'u')));
    EXPECT_FALSE(PropertyList::read(binaryWith('e', 0)));
    const char xml[] = "<plist><dict><key>a</key><string>x\0y</string></dict></plist>";
    EXPECT_FALSE(PropertyList::read(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(xml), sizeof xml - 1)));
}

// libplist keeps a date's whole seconds in 32 bits: a date beyond them (here the earliest
// a file can hold, carried past it by its microseconds) is written at the edge instead of
// being converted out of range (found by fuzzing, under UBSan).
TEST_F(PropertyListTest, ADateBeyondWhatTheWriterHoldsIsWrittenAtItsEdge)
{
    for (double seconds : { double(INT32_MIN) - 0.5, double(INT32_MAX) + 10.0, 1e18, -1e18 }) {
        auto value = NSArray::array({ NSDate::dateWithTimeIntervalSinceReferenceDate(seconds) });
        auto back = PropertyList::read(PropertyList::serialize(value, PropertyList::Format::Binary)).as<NSArray>();
        ASSERT_TRUE(back) << seconds;
        double written = back->objectAtIndex(0).as<NSDate>()->timeIntervalSinceReferenceDate();
        EXPECT_NEAR(written, seconds < 0 ? double(INT32_MIN) : double(INT32_MAX), 1.0) << seconds;
    }
}

TEST_F(PropertyListTest, GarbageMissingFilesAndWrongRootTypesReadAsNothing)
{
    EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile("/var/missing.plist"));
    ASSERT_TRUE(FileSystem::writeFile("/var/garbage.plist", { 'n', 'o', 't', 0xff, '<', 'p' }));
    EXPECT_FALSE(PropertyList::readFile("/var/garbage.plist"));
    ASSERT_TRUE(FileSystem::writeFile("/var/truncated.plist", { 'b', 'p', 'l', 'i', 's', 't', '0', '0', 1, 2 }));
    EXPECT_FALSE(PropertyList::readFile("/var/truncated.plist"));
    ASSERT_TRUE(PropertyList::writeFile("/var/array.plist", NSArray::array({ "x"_ns })));
    EXPECT_TRUE(PropertyList::readFile("/var/array.plist"));
    EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile("/var/array.plist"));
}

TEST_F(PropertyListTest, AFifoAtThePathReadsAsNothingWithoutWaitingForAWriter)
{
    ASSERT_EQ(mkfifo((m_root / "var/pipe.plist").c_str(), 0644), 0);
    EXPECT_FALSE(FileSystem::readFile("/var/pipe.plist"));
    EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile("/var/pipe.plist"));
}

TEST_F(PropertyListTest, ValuesThatAreNotPropertyListsAreNotWritten)
{
    auto withObject = NSDictionary::dictionary({ { "view", id(new objc_object(NSObjectClass())) } });
    EXPECT_TRUE(PropertyList::serialize(withObject).empty());
    EXPECT_FALSE(PropertyList::writeFile("/var/never.plist", withObject));
    EXPECT_FALSE(std::filesystem::exists(m_root / "var/never.plist"));
}

// A binary property list whose object i (of `count`) is an array of `width` references
// to object i + 1; the last object is the integer 7. Width 1 is a chain nested `count`
// levels deep; width 2 makes each level refer twice to the next, 2^count leaves in all.
std::vector<uint8_t> binaryChain(uint32_t count, int width)
{
    std::vector<uint8_t> bytes { 'b', 'p', 'l', 'i', 's', 't', '0', '0' };
    auto appendBigEndian = [&](uint64_t value, int size) {
        for (int shift = (size - 1) * 8; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<uint8_t>(value >> shift));
    };
    std::vector<uint64_t> offsets;
    for (uint32_t i = 0; i < count; ++i) {
        offsets.push_back(bytes.size());
        if (i + 1 == count) {
            bytes.insert(bytes.end(), { 0x10, 7 });
            continue;
        }
        bytes.push_back(static_cast<uint8_t>(0xA0 | width));
        for (int reference = 0; reference < width; ++reference)
            appendBigEndian(i + 1, 4);
    }
    uint64_t table = bytes.size();
    for (uint64_t offset : offsets)
        appendBigEndian(offset, 4);
    bytes.insert(bytes.end(), { 0, 0, 0, 0, 0, 0, 4, 4 });
    appendBigEndian(count, 8);
    appendBigEndian(0, 8);
    appendBigEndian(table, 8);
    return bytes;
}

std::vector<uint8_t> xmlNestedArrays(int depth)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">";
    for (int i = 0; i < depth; ++i)
        text += "<array>";
    text += "<string>bottom</string>";
    for (int i = 0; i < depth; ++i)
        text += "</array>";
    text += "</plist>";
    return { text.begin(), text.end() };
}

TEST_F(PropertyListTest, HostileStructuresReadAsNothingWithoutExhaustingStackOrMemory)
{
    EXPECT_TRUE(PropertyList::read(xmlNestedArrays(200))) << "ordinary nesting still reads";
    EXPECT_TRUE(PropertyList::read(binaryChain(200, 1)));
    EXPECT_FALSE(PropertyList::read(xmlNestedArrays(300)));
    EXPECT_FALSE(PropertyList::read(xmlNestedArrays(1'000'000))) << "freeing the parsed tree must not recurse per level";
    EXPECT_FALSE(PropertyList::read(binaryChain(300, 1)));
    EXPECT_FALSE(PropertyList::read(binaryChain(200'000, 1))) << "parsing must not recurse per level";
    EXPECT_FALSE(PropertyList::read(binaryChain(64, 2))) << "2^64 copies of one shared leaf";

    auto cycle = binaryChain(3, 1);
    cycle[8 + 5 + 1 + 3] = 0; // the second array's reference, low byte: back to the first
    EXPECT_FALSE(PropertyList::read(cycle));
}

TEST_F(PropertyListTest, AFileTooLargeToHoldReadsAsNothing)
{
    // Sparse: a terabyte that takes no room on disk.
    std::filesystem::path huge = m_root / "var/huge.plist";
    { std::ofstream create(huge); }
    std::filesystem::resize_file(huge, 1ull << 40);
    EXPECT_FALSE(PropertyList::readFile("/var/huge.plist"));
    EXPECT_FALSE(FileSystem::readFile("/var/huge.plist", 1 << 20));
}

TEST_F(PropertyListTest, AValueNestedDeeperThanAReadTakesIsNotWritten)
{
    auto nested = [](int depth) {
        id value = "bottom"_ns;
        for (int i = 0; i < depth; ++i)
            value = NSArray::array({ value });
        return value;
    };
    EXPECT_TRUE(isEqual(PropertyList::read(PropertyList::serialize(nested(200))), nested(200)));
    EXPECT_TRUE(PropertyList::serialize(nested(300)).empty());
    EXPECT_FALSE(PropertyList::writeFile("/var/deep.plist", nested(300)));
}

TEST(NSStringTest, LengthCountsUtf16UnitsAndEqualityIsExact)
{
    EXPECT_EQ("Admin"_ns->length(), 5u);
    EXPECT_EQ("Brennick’s"_ns->length(), 10u); // U+2019 is one unit
    EXPECT_EQ("😀"_ns->length(), 2u); // a surrogate pair
    EXPECT_TRUE("Admin"_ns->isEqualToString("Admin"_ns));
    EXPECT_FALSE("Admin"_ns->isEqualToString("admin"_ns));
    EXPECT_TRUE(send<bool>("Admin"_ns, "isEqual:", id("Admin"_ns)));
}

TEST(NSNumberTest, RealsOutsideTheIntegerRangeSaturateAndNaNIsZero)
{
    EXPECT_EQ(NSNumber::numberWithDouble(1e300)->integerValue(), std::numeric_limits<NSInteger>::max());
    EXPECT_EQ(NSNumber::numberWithDouble(-1e300)->integerValue(), std::numeric_limits<NSInteger>::min());
    EXPECT_EQ(NSNumber::numberWithDouble(std::nan(""))->integerValue(), 0);
    EXPECT_EQ(NSNumber::numberWithDouble(-3.9)->integerValue(), -3);
    EXPECT_FALSE(isEqual(NSNumber::numberWithDouble(1e300), NSNumber::numberWithInteger(std::numeric_limits<NSInteger>::max())));
}

TEST(DescribeTest, RendersValuesReadably)
{
    auto record = NSDictionary::dictionary({ { "UserName", "Guest One"_ns }, { "LimitedTime", NSNumber::numberWithInteger(3) } });
    EXPECT_EQ(describe(record), "{\n    UserName = \"Guest One\";\n    LimitedTime = 3;\n}");
    EXPECT_EQ(describe(nil), "(null)");
    EXPECT_EQ(describe("plain text"_ns), "plain text");
}

} // namespace
