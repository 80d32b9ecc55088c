#include "SubstrateLoader.h"

#include "DeviceFiles.h"
#include "DeviceRoot.h"
#include "PropertyList.h"
#include "Trace.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>

namespace SubstrateLoader {

namespace {

bool isLibraryName(const std::string& name)
{
    auto endsWith = [&](std::string_view suffix) {
        return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    return endsWith(".dylib") || endsWith(".so");
}

std::string stem(const std::string& name)
{
    return name.substr(0, name.rfind('.'));
}

// Filter -> Bundles holds the bundle identifier. Anything else (no plist, no Filter, a
// Filter without Bundles) selects nothing: a library without a filter is never loaded.
std::string filterVerdict(const std::string& plistPath, const std::string& bundleIdentifier)
{
    auto plist = PropertyList::readDictionaryFile(plistPath);
    if (!plist)
        return fmt::format("no readable filter property list {}", plistPath);
    auto filter = plist->valueForKey<NSDictionary>("Filter");
    if (!filter)
        return "its filter property list has no Filter dictionary";
    auto bundles = filter->valueForKey<NSArray>("Bundles");
    if (!bundles)
        return "its Filter has no Bundles array";
    if (!bundles->containsObject(NSString::string(bundleIdentifier)))
        return fmt::format("its Filter does not name {}", bundleIdentifier);
    return {};
}

} // namespace

std::vector<Candidate> scan(const std::string& bundleIdentifier)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(devicePath(DeviceFiles::kDynamicLibraries), error)) {
        std::string name = entry.path().filename().string();
        if (isLibraryName(name))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());

    std::vector<Candidate> candidates;
    for (const auto& name : names) {
        std::string directory = DeviceFiles::kDynamicLibraries;
        std::string reason = filterVerdict(directory + "/" + stem(name) + ".plist", bundleIdentifier);
        candidates.push_back({ directory + "/" + name, reason.empty(), reason });
    }
    return candidates;
}

Result loadFor(const std::string& bundleIdentifier)
{
    Result result;
    for (const auto& candidate : scan(bundleIdentifier)) {
        if (!candidate.selected)
            continue;
        std::string hostPath = devicePath(candidate.libraryPath);
        if (dlopen(hostPath.c_str(), RTLD_NOW | RTLD_GLOBAL)) {
            result.loaded.push_back(candidate.libraryPath);
            Trace::emit("tweak-load", { { "path", candidate.libraryPath } });
            continue;
        }
        const char* why = dlerror();
        std::string message = fmt::format("MobileSubstrate: cannot load {}: {}", hostPath, why ? why : "unknown error");
        std::fprintf(stderr, "%s\n", message.c_str());
        Trace::emit("tweak-load-failed", { { "path", candidate.libraryPath }, { "error", why ? why : "" } });
        result.errors.push_back(message);
    }
    return result;
}

} // namespace SubstrateLoader

extern "C" int MSLoadDynamicLibrariesForBundle(const char* bundleIdentifier)
{
    auto result = SubstrateLoader::loadFor(bundleIdentifier ? bundleIdentifier : "");
    return static_cast<int>(result.errors.size());
}
