#include "NSProcessInfo.h"

#include "DeviceRoot.h"
#include "FileSystem.h"
#include "PropertyList.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

namespace {

struct ProcessInfoState {
    std::mutex mutex;
    std::optional<std::vector<std::string>> argumentsOverride;
    std::optional<NSOperatingSystemVersion> versionOverride;
    std::map<std::string, NSOperatingSystemVersion> versionByDeviceRoot;
};

ProcessInfoState& state()
{
    static auto* instance = new ProcessInfoState;
    return *instance;
}

std::vector<std::string> readCommandLine()
{
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> arguments;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\0', start);
        if (end == std::string::npos)
            end = bytes.size();
        arguments.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return arguments;
}

NSOperatingSystemVersion readDeviceVersion()
{
    auto bytes = FileSystem::readFile(kSystemVersionPath);
    if (!bytes)
        return kDefaultOperatingSystemVersion;
    auto plist = PropertyList::read(*bytes).as<NSDictionary>();
    auto text = plist ? plist->valueForKey<NSString>("ProductVersion") : nullptr;
    auto version = text ? parseOperatingSystemVersion(text->utf8()) : std::nullopt;
    if (!version) {
        std::fprintf(stderr, "NSProcessInfo: %s has no \"ProductVersion\" of the form 14.4 or 12.5.1; using %lld.%lld.%lld\n",
            devicePath(kSystemVersionPath).c_str(), kDefaultOperatingSystemVersion.majorVersion,
            kDefaultOperatingSystemVersion.minorVersion, kDefaultOperatingSystemVersion.patchVersion);
        return kDefaultOperatingSystemVersion;
    }
    if (version->majorVersion < kOldestSimulatedMajorVersion || version->majorVersion > kNewestSimulatedMajorVersion) {
        std::fprintf(stderr, "NSProcessInfo: %s names iOS %lld, which is not simulated (%lld to %lld are); using %lld.%lld.%lld\n",
            devicePath(kSystemVersionPath).c_str(), version->majorVersion, kOldestSimulatedMajorVersion,
            kNewestSimulatedMajorVersion, kDefaultOperatingSystemVersion.majorVersion,
            kDefaultOperatingSystemVersion.minorVersion, kDefaultOperatingSystemVersion.patchVersion);
        return kDefaultOperatingSystemVersion;
    }
    return *version;
}

} // namespace

std::optional<NSOperatingSystemVersion> parseOperatingSystemVersion(std::string_view text)
{
    NSInteger parts[3] = { 0, 0, 0 };
    size_t count = 0;
    const char* position = text.data();
    const char* end = text.data() + text.size();
    while (count < 3) {
        auto [next, error] = std::from_chars(position, end, parts[count]);
        if (error != std::errc() || next == position || parts[count] < 0)
            return std::nullopt;
        ++count;
        position = next;
        if (position == end)
            return NSOperatingSystemVersion { parts[0], parts[1], parts[2] };
        if (*position != '.')
            return std::nullopt;
        ++position;
    }
    return std::nullopt; // a fourth part, or a trailing dot
}

NSProcessInfo::NSProcessInfo() : objc_object(cls()) { }

Class NSProcessInfo::cls()
{
    static Class cls = [] {
        if (Class existing = objc_getClass("NSProcessInfo"))
            return existing;
        return ClassBuilder("NSProcessInfo", NSObjectClass()).instancesOf<NSProcessInfo>().permanent().get();
    }();
    return cls;
}

Id<NSProcessInfo> NSProcessInfo::processInfo()
{
    static NSProcessInfo* shared = [] {
        auto* info = new NSProcessInfo;
        info->makeImmortal();
        return info;
    }();
    return Id<NSProcessInfo>(shared);
}

Id<NSArray> NSProcessInfo::arguments() const
{
    std::vector<std::string> arguments;
    {
        std::lock_guard lock(state().mutex);
        arguments = state().argumentsOverride ? *state().argumentsOverride : readCommandLine();
    }
    std::vector<id> items;
    for (auto& argument : arguments)
        items.push_back(NSString::string(argument));
    return NSArray::array(std::move(items));
}

NSOperatingSystemVersion NSProcessInfo::operatingSystemVersion() const
{
    std::lock_guard lock(state().mutex);
    if (state().versionOverride)
        return *state().versionOverride;
    // Kept per device root: the version of a device does not change while a process
    // runs, but tests and the simulator may point this process at another device.
    std::string root = deviceRoot();
    auto found = state().versionByDeviceRoot.find(root);
    if (found == state().versionByDeviceRoot.end())
        found = state().versionByDeviceRoot.emplace(root, readDeviceVersion()).first;
    return found->second;
}

bool NSProcessInfo::isOperatingSystemAtLeastVersion(NSOperatingSystemVersion version) const
{
    NSOperatingSystemVersion running = operatingSystemVersion();
    if (running.majorVersion != version.majorVersion)
        return running.majorVersion > version.majorVersion;
    if (running.minorVersion != version.minorVersion)
        return running.minorVersion > version.minorVersion;
    return running.patchVersion >= version.patchVersion;
}

void NSProcessInfo::setArgumentsForTesting(std::optional<std::vector<std::string>> arguments)
{
    std::lock_guard lock(state().mutex);
    state().argumentsOverride = std::move(arguments);
}

void NSProcessInfo::setOperatingSystemVersionForTesting(std::optional<NSOperatingSystemVersion> version)
{
    std::lock_guard lock(state().mutex);
    state().versionOverride = version;
    state().versionByDeviceRoot.clear(); // a test may also have rewritten the device's file
}

void registerNSProcessInfoClass()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    ClassBuilder::extend(NSProcessInfo::cls())
        .classMethod("processInfo", [](id, SEL) -> id { return NSProcessInfo::processInfo(); })
        .method("arguments", [](id self, SEL) -> id { return self.as<NSProcessInfo>()->arguments(); })
        .method("operatingSystemVersion", [](id self, SEL) -> NSOperatingSystemVersion {
            return self.as<NSProcessInfo>()->operatingSystemVersion();
        })
        .method("isOperatingSystemAtLeastVersion:", [](id self, SEL, NSOperatingSystemVersion version) -> bool {
            return self.as<NSProcessInfo>()->isOperatingSystemAtLeastVersion(version);
        });
}

static const bool processInfoClassRegistered = (registerNSProcessInfoClass(), true);
