#include "DeviceInstaller.h"

#include "DeviceFiles.h"
#include "NSObjectValues.h"
#include "NSProcessInfo.h"
#include "PropertyList.h"
#include "TypedText.h"
#include "WallpaperStandIns.h"

#include <fmt/format.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

// Where the build put each program and library (set by CMake).
struct BuiltFile {
    const char* builtPath;
    const char* devicePath;
    bool executable;
    bool isTweak = false;
};

const BuiltFile kBuiltFiles[] = {
    { KAVLOR_SPRINGBOARD_HOST, DeviceFiles::kSpringBoardExecutable, true },
    { KAVLOR_SUBSTRATE_LOADER, DeviceFiles::kSubstrateLoader, false },
    { KAVLOR_SBRELOAD, DeviceFiles::kSbreload, true },
    { KAVLOR_KILLALL, DeviceFiles::kKillall, true },
    { KAVLOR_MURVEX, "/usr/bin/murvex", true },
    { KAVLOR_TWEAK_LIBRARY, "/Library/MobileSubstrate/DynamicLibraries/libKavlor.so", false, true },
    { KAVLOR_TWEAK_FILTER, "/Library/MobileSubstrate/DynamicLibraries/libKavlor.plist", false, true },
    // The panel's button icons, shipped in the tweak's bundle.
    { KAVLOR_TWEAK_BUNDLE "/Assets/Actions/settings.png", "/Library/Application Support/Kavlor.bundle/Assets/Actions/settings.png", false, true },
    { KAVLOR_TWEAK_BUNDLE "/Assets/Actions/close.png", "/Library/Application Support/Kavlor.bundle/Assets/Actions/close.png", false, true },
    { KAVLOR_TWEAK_BUNDLE "/Assets/Actions/respring.png", "/Library/Application Support/Kavlor.bundle/Assets/Actions/respring.png", false, true },
    { KAVLOR_TWEAK_BUNDLE "/Assets/Actions/logout.png", "/Library/Application Support/Kavlor.bundle/Assets/Actions/logout.png", false, true },
    { KAVLOR_TWEAK_BUNDLE "/Assets/Actions/hide.png", "/Library/Application Support/Kavlor.bundle/Assets/Actions/hide.png", false, true },
};

// The folders a device has from the start (device paths).
const char* const kFolders[] = {
    "/Applications",
    "/Library/Application Support",
    "/Library/Kavlors",
    "/Library/MobileSubstrate/DynamicLibraries",
    "/System/Library/CoreServices/SpringBoard.app",
    "/usr/bin",
    "/usr/lib",
    "/var/log",
    "/var/mobile/Library/Logs",
    "/var/mobile/Library/Preferences",
    "/var/mobile/Library/SpringBoard",
    "/var/run/kavlor/processes",
};

fs::path under(const fs::path& root, std::string_view devicePath)
{
    return root / devicePath.substr(1);
}

void makeFolder(const fs::path& folder)
{
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        throw InstallError(fmt::format("cannot make the folder {}: {}", folder.string(), error.message()));
}

void copyBuilt(const BuiltFile& file, const fs::path& root)
{
    std::error_code error;
    if (!*file.builtPath || !fs::is_regular_file(file.builtPath, error))
        throw InstallError(fmt::format("{} is not built (expected at {}): build the project first (make)", file.devicePath,
            *file.builtPath ? file.builtPath : "(no such target in this build)"));
    fs::path target = under(root, file.devicePath);
    makeFolder(target.parent_path());
    // Copy beside and rename, so that a SpringBoard that is running from the old copy
    // keeps its file and a new start never sees half a program.
    fs::path aside = target;
    aside += ".installing";
    fs::copy_file(file.builtPath, aside, fs::copy_options::overwrite_existing, error);
    if (!error) {
        auto mode = file.executable ? fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec
                                    : fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
        fs::permissions(aside, mode, fs::perm_options::replace, error);
    }
    if (!error)
        fs::rename(aside, target, error);
    if (error)
        throw InstallError(fmt::format("cannot copy {} to {}: {}", file.builtPath, target.string(), error.message()));
}

// Written beside and renamed into place, like the programs: a SpringBoard or murvex that
// starts while the device is made again reads the old file or the new one, never half.
void writePlist(const fs::path& target, const id& value)
{
    auto bytes = PropertyList::serialize(value, PropertyList::Format::XML);
    fs::path aside = target;
    aside += ".installing";
    std::ofstream out(aside, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    std::error_code error;
    if (!bytes.empty() && out)
        fs::rename(aside, target, error);
    if (bytes.empty() || !out || error) {
        fs::remove(aside, error);
        throw InstallError(fmt::format("cannot write {}", target.string()));
    }
}

// A home screen as a new device has it: the dock and two pages of apps.
id defaultHomeScreen()
{
    auto apps = [](std::initializer_list<const char*> identifiers) {
        std::vector<id> entries;
        for (const char* identifier : identifiers)
            entries.push_back(NSString::string(identifier));
        return NSArray::array(entries);
    };
    return NSDictionary::dictionary({
        { "buttonBar", apps({ "com.apple.mobilephone", "com.apple.mobilesafari", "com.apple.MobileSMS", "com.apple.Music" }) },
        { "iconLists", NSArray::array({
            apps({ "com.apple.mobilecal", "com.apple.mobileslideshow", "com.apple.camera", "com.apple.mobilemail",
                "com.apple.mobilenotes", "com.apple.reminders", "com.apple.Maps", "com.apple.weather",
                "com.apple.mobiletimer", "com.apple.AppStore", "com.apple.Preferences", "com.apple.Health" }),
            apps({ "com.example.chat", "com.example.game", "com.example.bank" }),
        }) },
    });
}

bool isEmptyFolder(const fs::path& folder)
{
    std::error_code error;
    return fs::is_directory(folder, error) && fs::is_empty(folder, error);
}

// A folder that already is a device: it has the SpringBoard program at its place.
bool isDevice(const fs::path& folder)
{
    std::error_code error;
    return fs::is_regular_file(under(folder, DeviceFiles::kSpringBoardExecutable), error);
}

} // namespace

void DeviceInstaller::validate(const DeviceSpec& spec)
{
    auto version = parseOperatingSystemVersion(spec.iosVersion);
    if (!version || version->majorVersion < kOldestSimulatedMajorVersion || version->majorVersion > kNewestSimulatedMajorVersion)
        throw InstallError(fmt::format("--ios {}: the device runs iOS 12, 13 or 14 (for example 12.5, 13.7, 14.4)", spec.iosVersion));
    if (spec.idiom != "phone" && spec.idiom != "pad")
        throw InstallError(fmt::format("--idiom {}: the device is a \"phone\" or a \"pad\"", spec.idiom));
    if (spec.passcode.empty())
        throw InstallError("--passcode: the device passcode cannot be empty");
    if (auto problem = TypedText::problem(spec.passcode); !problem.empty())
        throw InstallError("--passcode: the device passcode " + problem);
}

fs::path DeviceInstaller::checkedRoot(const fs::path& requestedRoot, bool reinstall)
{
    // An empty DIR (an unset shell variable) would make every device path relative, and
    // the device would be written over the current folder.
    if (requestedRoot.empty())
        throw InstallError("DIR is empty: name the folder to make the device in");
    std::error_code error;
    fs::path root = fs::weakly_canonical(fs::absolute(requestedRoot, error), error);
    if (error || root.empty())
        throw InstallError(fmt::format("cannot resolve the folder {}: {}", requestedRoot.string(), error.message()));
    // The device's "/" on the machine's "/" would replace the machine's own programs.
    if (root == root.root_path())
        throw InstallError(fmt::format("{} is the machine's root folder: give a folder of its own for the device", requestedRoot.string()));
    if (fs::exists(root, error) && !fs::is_directory(root, error))
        throw InstallError(fmt::format("{} exists and is not a folder", root.string()));
    // --force installs again over a device; any other folder with something in it is
    // refused, so nothing of a person's is overwritten.
    if (fs::exists(root, error) && !isEmptyFolder(root) && !(reinstall && isDevice(root)))
        throw InstallError(fmt::format("{} is not empty: give a new folder, or --force to install the programs and the "
                                       "configuration again (the device's data is kept)",
            root.string()));
    return root;
}

void DeviceInstaller::install(const fs::path& requestedRoot, const DeviceSpec& spec, bool reinstall)
{
    validate(spec);
    fs::path root = checkedRoot(requestedRoot, reinstall);
    std::error_code error;

    for (const char* folder : kFolders)
        makeFolder(under(root, folder));
    for (const BuiltFile& file : kBuiltFiles) {
        if (file.isTweak && !spec.withTweak) {
            std::error_code ignored;
            fs::remove(under(root, file.devicePath), ignored);
            continue;
        }
        copyBuilt(file, root);
    }
    try {
        installWallpaperStandIns(root.string());
    } catch (const std::exception& failure) {
        throw InstallError(failure.what());
    }

    writePlist(under(root, DeviceFiles::kSystemVersionFile),
        NSDictionary::dictionary({ { "ProductName", NSString::string("iPhone OS") }, { "ProductVersion", NSString::string(spec.iosVersion) } }));
    // The home screen is the device's data: a reinstall keeps the layout it has.
    fs::path homeScreen = under(root, "/var/mobile/Library/SpringBoard/IconState.plist");
    if (!fs::exists(homeScreen, error))
        writePlist(homeScreen, defaultHomeScreen());
    writePlist(under(root, DeviceFiles::kDeviceConfigurationFile),
        NSDictionary::dictionary({
            { "idiom", NSString::string(spec.idiom) },
            { "screenWidth", NSNumber::numberWithDouble(screenWidthFor(spec.idiom)) },
            { "screenHeight", NSNumber::numberWithDouble(screenHeightFor(spec.idiom)) },
            { "passcode", NSString::string(spec.passcode) },
        }));
}

std::vector<std::string> DeviceInstaller::describe(const fs::path& root)
{
    std::vector<std::string> lines;
    std::error_code error;
    for (const BuiltFile& file : kBuiltFiles) {
        if (fs::exists(under(root, file.devicePath), error))
            lines.push_back(fmt::format("{}  (from {})", file.devicePath, file.builtPath));
    }
    for (const char* path : { kJailbreakLibraryPath, kSpringBoardFoundationPath, kSpringBoardUIServicesPath })
        lines.push_back(fmt::format("{}  (wallpaper-services stand-in)", path));
    lines.push_back(fmt::format("{}  (OS version)", DeviceFiles::kSystemVersionFile));
    lines.push_back(fmt::format("{}  (idiom, screen, passcode)", DeviceFiles::kDeviceConfigurationFile));
    lines.push_back("/var/mobile/Library/SpringBoard/IconState.plist  (home screen: dock and two pages of apps)");
    return lines;
}
