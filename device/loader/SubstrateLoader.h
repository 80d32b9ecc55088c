#pragma once
// The MobileSubstrate stand-in. At a process's start it loads every library in
// "/Library/MobileSubstrate/DynamicLibraries/" (name ending in ".dylib" or ".so") whose
// filter property list (same name with ".plist") lists the process's bundle identifier
// under Filter -> Bundles, in name order, with RTLD_NOW | RTLD_GLOBAL, so the tweak's
// initialisers run before the process's own start-up, as on a device.
//
// Built as the device's "/Library/MobileSubstrate/MobileSubstrate.dylib"; the host opens
// it and calls the C entry point below.

#include <string>
#include <vector>

namespace SubstrateLoader {

struct Candidate {
    std::string libraryPath;  // device path
    bool selected = false;
    std::string reason;       // why it was skipped, for a person
};

// What the directory holds and which libraries the filters select for `bundleIdentifier`.
std::vector<Candidate> scan(const std::string& bundleIdentifier);

struct Result {
    std::vector<std::string> loaded;  // device paths, in load order
    std::vector<std::string> errors;  // one message per library that failed to load
};
// Loads the selected libraries. Failures are reported on standard error and in the
// trace ("tweak-load-failed"); each success is traced as "tweak-load".
Result loadFor(const std::string& bundleIdentifier);

} // namespace SubstrateLoader

// The entry point the host finds with dlsym. Answers how many libraries failed to load.
extern "C" int MSLoadDynamicLibrariesForBundle(const char* bundleIdentifier);
