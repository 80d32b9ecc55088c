// The MobileSubstrate stand-in: which libraries its filters select, and that it loads them
// in name order, before anything else, and goes on past one that cannot load.

#include "DeviceFiles.h"
#include "SubstrateLoader.h"
#include "TempDeviceRoot.h"
#include "Trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const std::string kBundle = "com.apple.springboard";

std::string filterPlist(const std::vector<std::string>& bundles, bool withFilter = true)
{
    std::string array;
    for (const auto& bundle : bundles)
        array += "<string>" + bundle + "</string>";
    std::string filter = withFilter ? "<key>Filter</key><dict><key>Bundles</key><array>" + array + "</array></dict>" : "";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>" + filter + "</dict></plist>";
}

class SubstrateLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_folder); }

    void addLibrary(const std::string& name, const std::string& builtFrom)
    {
        fs::copy_file(builtFrom, m_folder / name, fs::copy_options::overwrite_existing);
    }
    void addFile(const std::string& name, const std::string& contents) { std::ofstream(m_folder / name) << contents; }
    void addFilter(const std::string& stem, const std::vector<std::string>& bundles, bool withFilter = true)
    {
        addFile(stem + ".plist", filterPlist(bundles, withFilter));
    }

    TempDeviceRoot m_root;
    fs::path m_folder = m_root.host(DeviceFiles::kDynamicLibraries);
};

TEST_F(SubstrateLoaderTest, SelectsTheLibrariesWhoseFilterNamesTheBundleInNameOrder)
{
    addLibrary("zz-last.so", TEST_TWEAK_A);
    addFilter("zz-last", { "com.example.other", kBundle });
    addLibrary("aa-first.dylib", TEST_TWEAK_B);
    addFilter("aa-first", { kBundle });
    addLibrary("other-process.dylib", TEST_TWEAK_A);
    addFilter("other-process", { "com.apple.mobilesafari" });
    addLibrary("no-filter.dylib", TEST_TWEAK_A);
    addLibrary("empty-filter.dylib", TEST_TWEAK_A);
    addFilter("empty-filter", {}, false);
    addFile("readme.txt", "not a library");
    addFile("aa-first.plist.bak", "not a library either");

    auto candidates = SubstrateLoader::scan(kBundle);
    std::vector<std::string> names, selected;
    for (const auto& candidate : candidates) {
        names.push_back(fs::path(candidate.libraryPath).filename().string());
        if (candidate.selected)
            selected.push_back(fs::path(candidate.libraryPath).filename().string());
        else
            EXPECT_FALSE(candidate.reason.empty()) << candidate.libraryPath;
    }
    EXPECT_EQ(names, (std::vector<std::string> { "aa-first.dylib", "empty-filter.dylib", "no-filter.dylib", "other-process.dylib", "zz-last.so" }));
    EXPECT_EQ(selected, (std::vector<std::string> { "aa-first.dylib", "zz-last.so" }));
    // Paths are device paths, so they read the same in every device root.
    EXPECT_EQ(candidates.front().libraryPath, std::string(DeviceFiles::kDynamicLibraries) + "/aa-first.dylib");
}

TEST_F(SubstrateLoaderTest, LoadsInNameOrderAndGoesOnPastALibraryThatCannotLoad)
{
    addLibrary("b-tweak.dylib", TEST_TWEAK_A);
    addFilter("b-tweak", { kBundle });
    addLibrary("a-tweak.so", TEST_TWEAK_B);
    addFilter("a-tweak", { kBundle });
    addFile("a-broken.dylib", "this is not an ELF file");
    addFilter("a-broken", { kBundle });
    addLibrary("c-elsewhere.dylib", TEST_TWEAK_A);
    addFilter("c-elsewhere", { "com.apple.Preferences" });

    std::vector<std::pair<std::string, std::string>> events;
    Trace::setSink([&](const std::string& event, const Trace::Fields& fields) {
        events.emplace_back(event, fields.empty() ? "" : fields[0].second);
    });
    int failures = MSLoadDynamicLibrariesForBundle(kBundle.c_str());
    Trace::setSink(nullptr);

    EXPECT_EQ(failures, 1);
    std::string libraries = std::string(DeviceFiles::kDynamicLibraries) + "/";
    std::vector<std::pair<std::string, std::string>> expected {
        { "tweak-load-failed", libraries + "a-broken.dylib" },
        { "test-tweak-loaded", "B" },
        { "tweak-load", libraries + "a-tweak.so" },
        { "test-tweak-loaded", "A" },
        { "tweak-load", libraries + "b-tweak.dylib" },
    };
    EXPECT_EQ(events, expected);
}

TEST_F(SubstrateLoaderTest, AMissingFolderLoadsNothing)
{
    fs::remove_all(m_folder);
    EXPECT_TRUE(SubstrateLoader::scan(kBundle).empty());
    EXPECT_TRUE(SubstrateLoader::loadFor(kBundle).loaded.empty());
}

} // namespace
