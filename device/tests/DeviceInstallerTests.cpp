// kavlor-sim init: what a device root holds, and that making one again never loses the
// device's data.

#include "DeviceInstaller.h"
#include "NSObjectValues.h"
#include "PropertyList.h"
#include "TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

std::string errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const InstallError& error) {
        return error.what();
    }
    return "";
}

TEST(DeviceInstaller, MakesTheTreeTheProgramsAndTheConfiguration)
{
    TempDeviceRoot root;
    DeviceSpec spec;
    spec.iosVersion = "12.5";
    spec.idiom = "pad";
    spec.passcode = "0000";
    DeviceInstaller::install(root.path(), spec, false);

    for (const char* program : { "/System/Library/CoreServices/SpringBoard.app/SpringBoard", "/usr/bin/sbreload", "/usr/bin/killall", "/usr/bin/murvex" }) {
        auto status = fs::status(root.host(program));
        EXPECT_TRUE(fs::is_regular_file(status)) << program;
        EXPECT_NE(status.permissions() & fs::perms::owner_exec, fs::perms::none) << program;
    }
    EXPECT_TRUE(fs::exists(root.host("/Library/MobileSubstrate/MobileSubstrate.dylib")));
    EXPECT_TRUE(fs::exists(root.host("/Library/MobileSubstrate/DynamicLibraries/libKavlor.so")));
    EXPECT_TRUE(fs::exists(root.host("/usr/lib/libjailbreak.dylib")));
    EXPECT_TRUE(fs::is_directory(root.host("/var/mobile/Library/Preferences")));
    // The panel's button icons: 60 by 60 PNGs in the tweak's bundle.
    for (const char* icon : { "settings", "close", "respring", "logout", "hide" }) {
        std::ifstream file(root.host(std::string("/Library/Application Support/Kavlor.bundle/Assets/Actions/") + icon + ".png"), std::ios::binary);
        std::string header(24, '\0');
        file.read(header.data(), 24);
        ASSERT_TRUE(file) << icon;
        EXPECT_EQ(header.substr(0, 8), std::string("\x89PNG\r\n\x1a\n")) << icon;
        EXPECT_EQ(header.substr(16, 8), std::string("\0\0\0\x3c\0\0\0\x3c", 8)) << icon; // IHDR: 60 by 60
    }

    auto filter = PropertyList::readDictionaryFile("/Library/MobileSubstrate/DynamicLibraries/libKavlor.plist");
    ASSERT_TRUE(filter);
    auto bundles = filter->valueForKey<NSDictionary>("Filter")->valueForKey<NSArray>("Bundles");
    ASSERT_TRUE(bundles);
    EXPECT_TRUE(bundles->containsObject(NSString::string("com.apple.springboard")));

    auto version = PropertyList::readDictionaryFile("/System/Library/CoreServices/SystemVersion.plist");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->valueForKey<NSString>("ProductVersion")->utf8(), "12.5");
    auto configuration = PropertyList::readDictionaryFile("/var/mobile/Library/kavlor-device.plist");
    ASSERT_TRUE(configuration);
    EXPECT_EQ(configuration->valueForKey<NSString>("idiom")->utf8(), "pad");
    EXPECT_EQ(configuration->valueForKey<NSString>("passcode")->utf8(), "0000");
    EXPECT_EQ(configuration->valueForKey<NSNumber>("screenWidth")->doubleValue(), 1024);
    EXPECT_EQ(configuration->valueForKey<NSNumber>("screenHeight")->doubleValue(), 1366);

    auto homeScreen = PropertyList::readDictionaryFile("/var/mobile/Library/SpringBoard/IconState.plist");
    ASSERT_TRUE(homeScreen);
    EXPECT_GT(homeScreen->valueForKey<NSArray>("buttonBar")->count(), 0u);
    EXPECT_GT(homeScreen->valueForKey<NSArray>("iconLists")->count(), 0u);
}

TEST(DeviceInstaller, RefusesAFolderInUseAndReinstallingKeepsTheData)
{
    TempDeviceRoot root;
    DeviceInstaller::install(root.path(), DeviceSpec {}, false);
    std::string settings = root.host("/var/mobile/Library/Preferences/com.Quennic.KavlorPrefs.plist");
    std::ofstream(settings) << "kept";
    std::string homeScreen = root.host("/var/mobile/Library/SpringBoard/IconState.plist");
    std::ofstream(homeScreen) << "kept";

    std::string refusal = errorOf([&] { DeviceInstaller::install(root.path(), DeviceSpec {}, false); });
    EXPECT_NE(refusal.find("is not empty"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("--force"), std::string::npos) << refusal;

    DeviceSpec older;
    older.iosVersion = "13.7";
    DeviceInstaller::install(root.path(), older, true);
    std::ifstream in(settings);
    std::string contents;
    in >> contents;
    EXPECT_EQ(contents, "kept");
    std::ifstream layout(homeScreen);
    layout >> contents;
    EXPECT_EQ(contents, "kept") << "the home screen a person arranged is kept";
    EXPECT_EQ(PropertyList::readDictionaryFile("/System/Library/CoreServices/SystemVersion.plist")->valueForKey<NSString>("ProductVersion")->utf8(), "13.7");
}

// A SpringBoard that starts while the device is made again reads the old configuration or
// the new one, never half of one: each file is replaced whole, not rewritten in place.
TEST(DeviceInstaller, ReinstallingReplacesTheConfigurationFilesWhole)
{
    TempDeviceRoot root;
    DeviceInstaller::install(root.path(), DeviceSpec {}, false);
    auto inodeOf = [](const std::string& path) {
        struct stat info {};
        EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
        return info.st_ino;
    };
    std::vector<std::string> files { root.host("/System/Library/CoreServices/SystemVersion.plist"), root.host("/var/mobile/Library/kavlor-device.plist") };
    std::vector<ino_t> before;
    for (const auto& file : files)
        before.push_back(inodeOf(file));

    DeviceInstaller::install(root.path(), DeviceSpec {}, true);

    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_NE(inodeOf(files[i]), before[i]) << files[i];
        EXPECT_FALSE(fs::exists(files[i] + ".installing")) << files[i];
    }
    EXPECT_TRUE(PropertyList::readDictionaryFile("/var/mobile/Library/kavlor-device.plist"));
}

TEST(DeviceInstaller, NamesTheValueAPersonGotWrong)
{
    TempDeviceRoot root;
    auto spec = [](std::string ios, std::string idiom, std::string passcode) {
        DeviceSpec result;
        result.iosVersion = ios;
        result.idiom = idiom;
        result.passcode = passcode;
        return result;
    };
    EXPECT_NE(errorOf([&] { DeviceInstaller::validate(spec("15.0", "phone", "1")); }).find("--ios 15.0"), std::string::npos);
    EXPECT_NE(errorOf([&] { DeviceInstaller::validate(spec("fourteen", "phone", "1")); }).find("--ios fourteen"), std::string::npos);
    EXPECT_NE(errorOf([&] { DeviceInstaller::validate(spec("14.4", "watch", "1")); }).find("--idiom watch"), std::string::npos);
    EXPECT_NE(errorOf([&] { DeviceInstaller::validate(spec("14.4", "pad", "")); }).find("--passcode"), std::string::npos);
    EXPECT_NE(errorOf([&] { DeviceInstaller::validate(spec("14.4", "pad", "12\n3")); }).find("--passcode"), std::string::npos);
    EXPECT_NE(errorOf([&] { DeviceInstaller::validate(spec("14.4", "pad", "\xE9" "1234")); }).find("--passcode: the device passcode is not UTF-8 text"), std::string::npos);
    EXPECT_EQ(errorOf([&] { DeviceInstaller::validate(spec("12.5.1", "pad", "abc 123")); }), "");
    EXPECT_EQ(errorOf([&] { DeviceInstaller::validate(spec("12.5.1", "pad", "\xC3\xA9" "1234")); }), "");

    std::string file = root.host("/plain-file");
    std::ofstream(file) << "x";
    EXPECT_NE(errorOf([&] { DeviceInstaller::install(file, DeviceSpec {}, true); }).find("is not a folder"), std::string::npos);
}

// An unset shell variable gives an empty DIR; as root from "/", the machine's own
// programs would be replaced. Both are refused before anything is written, --force or not.
TEST(DeviceInstaller, RefusesAnEmptyDirTheMachinesRootAndAFolderThatIsNotADevice)
{
    TempDeviceRoot root;
    std::string current = root.host("/current");
    fs::create_directories(current);
    std::ofstream(current + "/keep.txt") << "mine";
    auto previous = fs::current_path();
    fs::current_path(current);
    std::string emptyRefusal = errorOf([&] { DeviceInstaller::install("", DeviceSpec {}, true); });
    fs::current_path(previous);
    EXPECT_NE(emptyRefusal.find("DIR is empty"), std::string::npos) << emptyRefusal;
    EXPECT_EQ(std::distance(fs::directory_iterator(current), fs::directory_iterator {}), 1) << "nothing is written into the current folder";

    for (const char* machineRoot : { "/", "//", "/tmp/..", "/./" }) {
        std::string refusal = errorOf([&] { DeviceInstaller::checkedRoot(machineRoot, true); });
        EXPECT_NE(refusal.find("machine's root folder"), std::string::npos) << machineRoot << ": " << refusal;
    }

    std::string refusal = errorOf([&] { DeviceInstaller::install(current, DeviceSpec {}, true); });
    EXPECT_NE(refusal.find("is not empty"), std::string::npos) << refusal;
    EXPECT_FALSE(fs::exists(current + "/usr")) << "--force installs again only over a device";
}

} // namespace
