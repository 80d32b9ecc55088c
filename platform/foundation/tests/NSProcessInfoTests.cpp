#include "FileSystem.h"
#include "NSProcessInfo.h"
#include "PropertyList.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class NSProcessInfoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = std::filesystem::temp_directory_path() / ("processinfo-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_root / "System/Library/CoreServices");
        setenv("KAVLOR_DEVICE_ROOT", m_root.c_str(), 1);
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
    }
    void TearDown() override
    {
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        NSProcessInfo::setArgumentsForTesting(std::nullopt);
        unsetenv("KAVLOR_DEVICE_ROOT");
        std::filesystem::remove_all(m_root);
    }

    void writeProductVersion(const id& version)
    {
        ASSERT_TRUE(PropertyList::writeFile(kSystemVersionPath, NSDictionary::dictionary({ { "ProductName", "iPhone OS"_ns }, { "ProductVersion", version } })));
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt); // forget the version read before
    }

    static bool atLeast(NSInteger major, NSInteger minor, NSInteger patch)
    {
        return NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion({ major, minor, patch });
    }

    std::filesystem::path m_root;
};

TEST_F(NSProcessInfoTest, VersionComesFromTheDeviceFileAndComparesMajorMinorPatchInOrder)
{
    writeProductVersion("13.7"_ns);
    EXPECT_EQ(NSProcessInfo::processInfo()->operatingSystemVersion(), (NSOperatingSystemVersion { 13, 7, 0 }));
    EXPECT_TRUE(atLeast(13, 0, 0));
    EXPECT_TRUE(atLeast(12, 9, 9));
    EXPECT_TRUE(atLeast(13, 7, 0));
    EXPECT_FALSE(atLeast(13, 7, 1));
    EXPECT_FALSE(atLeast(13, 8, 0));
    EXPECT_FALSE(atLeast(14, 0, 0));

    writeProductVersion("12.5.1"_ns);
    EXPECT_TRUE(atLeast(12, 5, 1));
    EXPECT_FALSE(atLeast(13, 0, 0));

    writeProductVersion("14.0"_ns);
    EXPECT_TRUE(atLeast(14, 0, 0));
    EXPECT_TRUE(atLeast(13, 9, 9));
}

TEST_F(NSProcessInfoTest, MissingOrMalformedVersionFallsBackToTheDefault)
{
    EXPECT_EQ(NSProcessInfo::processInfo()->operatingSystemVersion(), kDefaultOperatingSystemVersion);
    writeProductVersion("fourteen"_ns);
    EXPECT_EQ(NSProcessInfo::processInfo()->operatingSystemVersion(), kDefaultOperatingSystemVersion);
    writeProductVersion(NSNumber::numberWithInteger(13));
    EXPECT_EQ(NSProcessInfo::processInfo()->operatingSystemVersion(), kDefaultOperatingSystemVersion);
}

// A system the platform has no SpringBoard classes for is a version SpringBoard cannot
// start on: it falls back like a malformed one, and the largest number never wraps into
// a negative major version.
TEST_F(NSProcessInfoTest, AVersionThatIsNotSimulatedFallsBackToTheDefault)
{
    for (const char* text : { "15.0", "11.0", "9223372036854775807", "4294967308.1" }) {
        writeProductVersion(NSString::string(text));
        EXPECT_EQ(NSProcessInfo::processInfo()->operatingSystemVersion(), kDefaultOperatingSystemVersion) << text;
    }
    writeProductVersion("12.0"_ns);
    EXPECT_EQ(NSProcessInfo::processInfo()->operatingSystemVersion(), (NSOperatingSystemVersion { 12, 0, 0 }));
}

TEST_F(NSProcessInfoTest, EachDeviceRootHasItsOwnVersion)
{
    writeProductVersion("12.4"_ns);
    EXPECT_FALSE(atLeast(13, 0, 0));
    auto other = m_root / "other";
    std::filesystem::create_directories(other / "System/Library/CoreServices");
    setenv("KAVLOR_DEVICE_ROOT", other.c_str(), 1);
    ASSERT_TRUE(PropertyList::writeFile(kSystemVersionPath, NSDictionary::dictionary({ { "ProductVersion", "14.2"_ns } })));
    EXPECT_TRUE(atLeast(14, 0, 0));
    setenv("KAVLOR_DEVICE_ROOT", m_root.c_str(), 1);
    EXPECT_FALSE(atLeast(13, 0, 0));
}

TEST_F(NSProcessInfoTest, VersionParsingAcceptsOnlyOneToThreeNumbers)
{
    EXPECT_EQ(parseOperatingSystemVersion("14"), (NSOperatingSystemVersion { 14, 0, 0 }));
    EXPECT_EQ(parseOperatingSystemVersion("14.4"), (NSOperatingSystemVersion { 14, 4, 0 }));
    EXPECT_EQ(parseOperatingSystemVersion("12.5.7"), (NSOperatingSystemVersion { 12, 5, 7 }));
    for (const char* bad : { "", "14.", ".4", "14..4", "14.4.1.2", "14.4b", "-1.0", "v14", "14 .4" })
        EXPECT_FALSE(parseOperatingSystemVersion(bad)) << bad;
}

TEST_F(NSProcessInfoTest, TestOverrideWinsOverTheDeviceFile)
{
    writeProductVersion("14.4"_ns);
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion { 12, 0, 0 });
    EXPECT_FALSE(atLeast(13, 0, 0));
}

TEST_F(NSProcessInfoTest, ArgumentsAreTheRealArgvUnlessOverridden)
{
    auto arguments = NSProcessInfo::processInfo()->arguments();
    ASSERT_GE(arguments->count(), 1u);
    auto executable = arguments->objectAtIndex(0).as<NSString>();
    ASSERT_TRUE(executable);
    EXPECT_NE(executable->utf8().find("foundation_services_tests"), std::string::npos) << executable->utf8();

    NSProcessInfo::setArgumentsForTesting(std::vector<std::string> { "/System/Library/CoreServices/SpringBoard.app/SpringBoard", "-x" });
    arguments = NSProcessInfo::processInfo()->arguments();
    ASSERT_EQ(arguments->count(), 2u);
    EXPECT_EQ(arguments->objectAtIndex(0).as<NSString>()->utf8(), "/System/Library/CoreServices/SpringBoard.app/SpringBoard");
}

TEST_F(NSProcessInfoTest, RuntimeClassAnswersTheSameAsTheCppInterface)
{
    writeProductVersion("13.3"_ns);
    Class cls = objc_getClass("NSProcessInfo");
    ASSERT_TRUE(cls);
    id info = send<id>(cls, "processInfo");
    EXPECT_TRUE(info == NSProcessInfo::processInfo());
    EXPECT_TRUE(send<bool>(info, "isOperatingSystemAtLeastVersion:", NSOperatingSystemVersion { 13, 0, 0 }));
    EXPECT_FALSE(send<bool>(info, "isOperatingSystemAtLeastVersion:", NSOperatingSystemVersion { 14, 0, 0 }));
    EXPECT_STREQ(method_getTypeEncoding(class_getInstanceMethod(cls, sel("isOperatingSystemAtLeastVersion:"))),
        "B@:{NSOperatingSystemVersion=qqq}");
    EXPECT_EQ(send<id>(info, "arguments").as<NSArray>()->count(), NSProcessInfo::processInfo()->arguments()->count());
    // The class survives a reset of the runtime, as the platform's own classes do.
    objc_resetRuntimeForTesting();
    EXPECT_EQ(objc_getClass("NSProcessInfo"), cls);
}

} // namespace
