#include "FileSystem.h"
#include "PropertyList.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

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

TEST_F(PropertyListTest, ValuesThatAreNotPropertyListsAreNotWritten)
{
    auto withObject = NSDictionary::dictionary({ { "view", id(new objc_object(NSObjectClass())) } });
    EXPECT_TRUE(PropertyList::serialize(withObject).empty());
    EXPECT_FALSE(PropertyList::writeFile("/var/never.plist", withObject));
    EXPECT_FALSE(std::filesystem::exists(m_root / "var/never.plist"));
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

TEST(DescribeTest, RendersValuesReadably)
{
    auto record = NSDictionary::dictionary({ { "UserName", "Guest One"_ns }, { "LimitedTime", NSNumber::numberWithInteger(3) } });
    EXPECT_EQ(describe(record), "{\n    UserName = \"Guest One\";\n    LimitedTime = 3;\n}");
    EXPECT_EQ(describe(nil), "(null)");
    EXPECT_EQ(describe("plain text"_ns), "plain text");
}

} // namespace
