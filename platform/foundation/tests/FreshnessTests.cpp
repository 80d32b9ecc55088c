// Cached reads answer what the file holds now: every kind of edit is seen at the next
// read, and only an unchanged file is answered without parsing (counted, not timed).

#include "DictionaryFileEntry.h"
#include "DictionaryFileFields.h"
#include "FileSystem.h"
#include "PropertyList.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr const char* kPath = "/var/data.plist";

class FreshnessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = fs::temp_directory_path() / ("freshness-test-" + std::to_string(getpid()));
        fs::create_directories(m_root / "var");
        setenv("KAVLOR_DEVICE_ROOT", m_root.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("KAVLOR_DEVICE_ROOT");
        fs::remove_all(m_root);
    }

    std::string hostPath(const std::string& path = kPath) const { return (m_root / fs::path(path).relative_path()).string(); }

    static Id<NSDictionary> users(const std::string& guestCode, const std::string& otherCode = "0000")
    {
        return NSDictionary::dictionary({
            { "Guest", NSDictionary::dictionary({ { "PassCode", NSString::string(guestCode) }, { "Picture", NSData::data({ 1, 2, 3 }) } }) },
            { "Other", NSDictionary::dictionary({ { "PassCode", NSString::string(otherCode) } }) },
        });
    }
    // Writes by renaming a new file over the old one, as the preference bundle does.
    void replaceFile(const id& value, PropertyList::Format format = PropertyList::Format::XML)
    {
        ASSERT_TRUE(PropertyList::writeFile(kPath, value, format));
    }
    // Rewrites the file's bytes in place (same inode), as an editor may.
    void rewriteInPlace(const std::string& bytes)
    {
        std::ofstream(hostPath(), std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc) << bytes;
    }
    void setModificationTime(time_t seconds)
    {
        struct timespec times[2] = { { seconds, 0 }, { seconds, 0 } };
        ASSERT_EQ(utimensat(AT_FDCWD, hostPath().c_str(), times, 0), 0);
    }
    static std::string text(const id& value)
    {
        auto bytes = PropertyList::serialize(value);
        return std::string(bytes.begin(), bytes.end());
    }
    static std::string guestCode(const id& root)
    {
        auto dictionary = root.as<NSDictionary>();
        auto guest = dictionary ? dictionary->valueForKey<NSDictionary>("Guest") : nullptr;
        auto code = guest ? guest->valueForKey<NSString>("PassCode") : nullptr;
        return code ? code->utf8() : "(none)";
    }

    fs::path m_root;
};

TEST_F(FreshnessTest, AnUnchangedFileIsParsedOnceAndEveryEditIsSeenAtTheNextRead)
{
    replaceFile(users("1111"));
    EXPECT_EQ(guestCode(PropertyList::readFileCached(kPath)), "1111");
    unsigned long parses = PropertyList::parseCount();
    EXPECT_EQ(guestCode(PropertyList::readFileCached(kPath)), "1111");
    EXPECT_EQ(guestCode(PropertyList::readFileCached(kPath)), "1111");
    EXPECT_EQ(PropertyList::parseCount(), parses) << "an unchanged file was parsed again";

    replaceFile(users("2222")); // by rename, same size
    EXPECT_EQ(guestCode(PropertyList::readFileCached(kPath)), "2222");

    rewriteInPlace(text(users("33333"))); // in place, another size
    EXPECT_EQ(guestCode(PropertyList::readFileCached(kPath)), "33333");

    // In place, the same size, and a later time (set explicitly, so that the test does not
    // hang on how finely the file system tells times apart).
    struct stat before {};
    ASSERT_EQ(stat(hostPath().c_str(), &before), 0);
    rewriteInPlace(text(users("44444")));
    setModificationTime(before.st_mtim.tv_sec + 10);
    EXPECT_EQ(guestCode(PropertyList::readFileCached(kPath)), "44444");

    rewriteInPlace("this is no property list");
    EXPECT_FALSE(PropertyList::readFileCached(kPath)) << "a file replaced by garbage still answered the old value";

    replaceFile(users("5555"));
    EXPECT_EQ(guestCode(PropertyList::readFileCached(kPath)), "5555");
    ASSERT_TRUE(FileSystem::removeFile(kPath));
    EXPECT_FALSE(PropertyList::readFileCached(kPath)) << "a removed file still answered the old value";
    replaceFile(users("6666"));
    EXPECT_EQ(guestCode(PropertyList::readFileCached(kPath)), "6666");
}

TEST_F(FreshnessTest, AnEntryIsAnsweredFromTheFileAsItIsNow)
{
    DictionaryFileEntry entry(kPath);
    auto code = [&](const char* key) {
        auto record = entry.value(NSString::string(key)).as<NSDictionary>();
        auto value = record ? record->valueForKey<NSString>("PassCode") : nullptr;
        return value ? value->utf8() : "(none)";
    };
    EXPECT_EQ(code("Guest"), "(none)") << "no file yet";
    replaceFile(users("1111", "9999"));
    EXPECT_EQ(code("Guest"), "1111");
    unsigned long parses = PropertyList::parseCount();
    EXPECT_EQ(code("Guest"), "1111");
    EXPECT_EQ(PropertyList::parseCount(), parses) << "an unchanged file was parsed again";
    EXPECT_EQ(code("Other"), "9999") << "another key";
    EXPECT_EQ(code("Nobody"), "(none)");
    EXPECT_FALSE(entry.value(nil));
    EXPECT_FALSE(entry.value(NSNumber::numberWithInteger(1)));

    replaceFile(users("2222", "9999"));
    EXPECT_EQ(code("Guest"), "2222");
    rewriteInPlace(text(users("33333")));
    EXPECT_EQ(code("Guest"), "33333");
    rewriteInPlace("garbage");
    EXPECT_EQ(code("Guest"), "(none)");
    replaceFile(users("4444"));
    EXPECT_EQ(code("Guest"), "4444");
    ASSERT_TRUE(FileSystem::removeFile(kPath));
    EXPECT_EQ(code("Guest"), "(none)");
}

// A new process (a new reader) whose file is unchanged since the entry was last taken
// parses only the kept entry, whoever wrote the file; one whose file changed does not
// trust the kept entry.
TEST_F(FreshnessTest, ANewReaderOfAnUnchangedFileParsesOnlyTheKeptEntry)
{
    // Written by hand, as XML, with the record in the middle.
    std::ofstream(hostPath()) << R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>Other</key>
	<dict><key>PassCode</key><string>9999</string></dict>
	<key>Guest</key>
	<dict>
		<key>PassCode</key><string>1234</string>
		<key>Picture</key><data>iVBORw0KGgo=</data>
		<key>toggleData</key><dict><key>0</key><true/></dict>
		<key>LimitedTime</key><integer>3</integer>
	</dict>
</dict>
</plist>
)";
    id fromFile = PropertyList::readDictionaryFile(kPath)->objectForKey("Guest");
    ASSERT_TRUE(fromFile);
    DictionaryFileEntry(kPath).value("Guest"_ns);
    ASSERT_TRUE(FileSystem::fileExists(DictionaryFileEntry(kPath).keptEntryPath()));

    unsigned long parses = PropertyList::parseCount();
    id again = DictionaryFileEntry(kPath).value("Guest"_ns);
    EXPECT_TRUE(isEqual(again, fromFile)) << describe(again);
    EXPECT_EQ(PropertyList::parseCount(), parses + 1) << "a new reader parsed more than the kept entry";

    // Another key is not answered from the kept entry.
    auto other = DictionaryFileEntry(kPath).value("Other"_ns).as<NSDictionary>();
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->valueForKey<NSString>("PassCode")->isEqualToString("9999"));

    // Changed by rename since the entry was kept: the kept entry is stale.
    DictionaryFileEntry(kPath).value("Guest"_ns);
    replaceFile(users("5555"), PropertyList::Format::Binary);
    EXPECT_EQ(guestCode(NSDictionary::dictionary({ { "Guest", DictionaryFileEntry(kPath).value("Guest"_ns) } })), "5555");

    // A damaged kept entry is not used.
    std::ofstream(hostPath(DictionaryFileEntry(kPath).keptEntryPath()), std::ios::trunc) << "damaged";
    EXPECT_EQ(guestCode(NSDictionary::dictionary({ { "Guest", DictionaryFileEntry(kPath).value("Guest"_ns) } })), "5555");
}


// A kept entry's pictures are taken from the kept file only when their bytes are first used
// (mapped then: counted by what this process has read and has mapped of the file); until
// then the kept file stays open, so one put in its place by rename changes nothing, and one
// cut short in place gives no bytes.
TEST_F(FreshnessTest, AKeptEntrysPicturesAreReadWhenFirstUsed)
{
    auto charactersRead = [] {
        std::ifstream io("/proc/self/io");
        std::string name;
        unsigned long long value = 0;
        while (io >> name >> value) {
            if (name == "rchar:")
                return value;
        }
        return 0ull;
    };
    auto bytesMappedOf = [](const std::string& file) {
        std::ifstream maps("/proc/self/maps");
        unsigned long long mapped = 0;
        for (std::string line; std::getline(maps, line);) {
            if (!line.ends_with(" " + file))
                continue;
            unsigned long long start = 0, end = 0;
            std::sscanf(line.c_str(), "%llx-%llx", &start, &end);
            mapped += end - start;
        }
        return mapped;
    };
    std::vector<uint8_t> wallpaper(3 << 20);
    for (size_t i = 0; i < wallpaper.size(); ++i)
        wallpaper[i] = uint8_t(i * 7 + (i >> 9));
    auto record = [&](const char* name) {
        return NSDictionary::dictionary({ { "UserName", NSString::string(name) }, { "WallPaperData", NSData::data(wallpaper) },
            { "profileIcon", NSData::data(std::vector<uint8_t>(100000, 9)) } });
    };
    replaceFile(NSDictionary::dictionary({ { "Guest", record("Guest") } }), PropertyList::Format::Binary);
    DictionaryFileEntry(kPath).value("Guest"_ns);  // keeps the entry

    auto before = charactersRead();
    auto taken = DictionaryFileEntry(kPath).value("Guest"_ns).as<NSDictionary>();
    ASSERT_TRUE(taken);
    EXPECT_LT(charactersRead() - before, wallpaper.size()) << "the pictures were read with the entry";
    std::string kept = hostPath(DictionaryFileEntry(kPath).keptEntryPath());
    EXPECT_EQ(bytesMappedOf(fs::canonical(kept)), 0u) << "the pictures were mapped with the entry";
    fs::rename(kept, kept + ".old");
    std::ofstream(kept) << "another kept file";
    EXPECT_EQ(taken->valueForKey<NSData>("WallPaperData")->copyBytes(), wallpaper);
    EXPECT_GE(bytesMappedOf(fs::canonical(kept + ".old")), wallpaper.size());

    // Cut short in place before its pictures are used: they give no bytes.
    fs::remove(kept);
    DictionaryFileEntry(kPath).value("Guest"_ns);
    auto cut = DictionaryFileEntry(kPath).value("Guest"_ns).as<NSDictionary>();
    ASSERT_TRUE(cut);
    fs::resize_file(kept, 1000);
    EXPECT_TRUE(cut->valueForKey<NSData>("WallPaperData")->bytes().empty());
    EXPECT_EQ(cut->valueForKey<NSString>("UserName")->utf8(), "Guest");
}

// Pictures are kept outside the kept entry's property list; they come back byte for byte,
// wherever they sit in the record, and a kept entry cut short is not used.
TEST_F(FreshnessTest, AKeptEntryGivesBackItsPicturesWholeAndACutOneIsNotUsed)
{
    auto bytes = [](size_t length, uint8_t seed) {
        std::vector<uint8_t> data(length);
        for (size_t i = 0; i < length; ++i)
            data[i] = uint8_t(seed + i * 131 + (i >> 7));
        return data;
    };
    auto record = NSDictionary::dictionary({
        { "UserName", "Guest"_ns },
        { "profileIcon", NSData::data(bytes(200000, 1)) },
        { "small", NSData::data(bytes(10, 2)) },
        { "nested", NSDictionary::dictionary({ { "WallPaperData", NSData::data(bytes(300000, 3)) }, { "n", NSNumber::numberWithInteger(5) } }) },
        { "list", NSArray::array({ NSData::data(bytes(5000, 4)), "x"_ns }) },
        { "empty", NSData::data({}) },
    });
    replaceFile(NSDictionary::dictionary({ { "Guest", record }, { "Other", "y"_ns } }), PropertyList::Format::Binary);
    DictionaryFileEntry(kPath).value("Guest"_ns);
    id again = DictionaryFileEntry(kPath).value("Guest"_ns);
    EXPECT_TRUE(isEqual(again, record)) << describe(again);

    std::string kept = hostPath(DictionaryFileEntry(kPath).keptEntryPath());
    fs::resize_file(kept, fs::file_size(kept) - 1000);
    unsigned long parses = PropertyList::parseCount();
    EXPECT_TRUE(isEqual(DictionaryFileEntry(kPath).value("Guest"_ns), record));
    EXPECT_GT(PropertyList::parseCount(), parses + 1) << "a cut kept entry was used";
}

// The fields asked for of every record, kept beside the file: a new reader of an unchanged
// file takes them from there (pictures whole, records in order, nothing else of the
// records); a changed file, a damaged kept file, or one taken for other fields is not
// trusted.
TEST_F(FreshnessTest, ANewReaderOfAnUnchangedFileTakesOnlyTheKeptFields)
{
    auto picture = [](size_t length, uint8_t seed) {
        std::vector<uint8_t> data(length);
        for (size_t i = 0; i < length; ++i)
            data[i] = uint8_t(seed + i * 7 + (i >> 9));
        return NSData::data(std::move(data));
    };
    auto ann = NSDictionary::dictionary({ { "UserName", "Ann"_ns }, { "profileIcon", picture(90000, 1) },
        { "WallPaperData", picture(300000, 2) }, { "PassCode", "1"_ns } });
    replaceFile(NSDictionary::dictionary({ { "Zed", NSDictionary::dictionary({ { "UserName", "Zed"_ns } }) },
                    { "Note", "not a record"_ns }, { "Ann", ann } }),
        PropertyList::Format::Binary);
    const std::vector<std::string> panelFields { "UserName", "profileIcon" };
    auto expected = NSDictionary::dictionary({
        { "Zed", NSDictionary::dictionary({ { "UserName", "Zed"_ns } }) },
        { "Ann", NSDictionary::dictionary({ { "UserName", "Ann"_ns }, { "profileIcon", ann->objectForKey("profileIcon") } }) },
    });
    auto keys = [](const Id<NSDictionary>& entries) {
        std::vector<std::string> names;
        for (const auto& [key, value] : entries->entries())
            names.push_back(key->utf8());
        return names;
    };

    auto first = DictionaryFileFields(kPath, panelFields).entries();
    ASSERT_TRUE(first);
    EXPECT_TRUE(isEqual(first, expected)) << describe(first);
    EXPECT_EQ(keys(first), (std::vector<std::string> { "Zed", "Ann" }));
    ASSERT_TRUE(FileSystem::fileExists(DictionaryFileFields(kPath, panelFields).keptFieldsPath()));

    unsigned long parses = PropertyList::parseCount();
    auto again = DictionaryFileFields(kPath, panelFields).entries();
    EXPECT_EQ(PropertyList::parseCount(), parses + 1) << "a new reader parsed more than the kept fields";
    ASSERT_TRUE(again);
    EXPECT_TRUE(isEqual(again, expected)) << describe(again);
    EXPECT_EQ(keys(again), (std::vector<std::string> { "Zed", "Ann" }));

    // Fields kept for another reader are not answered as these.
    auto passcodes = DictionaryFileFields(kPath, { "PassCode" }).entries();
    ASSERT_TRUE(passcodes);
    EXPECT_TRUE(passcodes->valueForKey<NSDictionary>("Ann")->valueForKey<NSString>("PassCode")->isEqualToString("1"));
    EXPECT_FALSE(passcodes->valueForKey<NSDictionary>("Ann")->objectForKey("UserName"));

    // Changed since: read whole again.
    replaceFile(NSDictionary::dictionary({ { "Cy", NSDictionary::dictionary({ { "UserName", "Cy"_ns } }) } }), PropertyList::Format::Binary);
    auto changed = DictionaryFileFields(kPath, panelFields).entries();
    ASSERT_TRUE(changed);
    EXPECT_EQ(keys(changed), (std::vector<std::string> { "Cy" }));

    // A damaged kept file is not used; a missing file has no entries.
    std::ofstream(hostPath(DictionaryFileFields(kPath, panelFields).keptFieldsPath()), std::ios::trunc) << "damaged";
    EXPECT_EQ(keys(DictionaryFileFields(kPath, panelFields).entries()), (std::vector<std::string> { "Cy" }));
    ASSERT_TRUE(FileSystem::removeFile(kPath));
    EXPECT_FALSE(DictionaryFileFields(kPath, panelFields).entries());
}

} // namespace
