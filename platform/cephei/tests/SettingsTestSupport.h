#pragma once
// What the settings tests share: one device root for the whole test process (the Darwin
// centre listens under the root it first saw, and domains live for the process's life),
// and a domain identifier of its own for every test, so tests never see each other's
// settings.

#include "DeviceRoot.h"
#include "HBPreferences.h"
#include "PropertyList.h"
#include "RunLoop.h"
#include "Trace.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        processDeviceRoot();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_identifier = std::string("com.Quennic.Test.") + info->test_suite_name() + "." + info->name();
    }
    void TearDown() override
    {
        Trace::setSink(nullptr);
        // Deliver this test's own change notifications now, so they never fill the
        // process's notification queue for the next test's writers.
        RunLoop::main().settle();
    }

    // The host path of a file of this test's domain ("" for the settings file itself).
    std::filesystem::path hostPath(const std::string& suffix = "") const
    {
        return devicePath("/var/mobile/Library/Preferences/" + m_identifier + ".plist" + suffix);
    }

    void storeDirectly(const Id<NSDictionary>& settings) const
    {
        std::filesystem::create_directories(hostPath().parent_path());
        ASSERT_TRUE(PropertyList::writeFile(hostPath().string(), settings, PropertyList::Format::Binary));
    }

    void storeBytesDirectly(const std::string& bytes) const
    {
        std::filesystem::create_directories(hostPath().parent_path());
        std::ofstream(hostPath(), std::ios::binary) << bytes;
    }

    static std::string fileText(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    Id<NSDictionary> storedOnDisk() const { return PropertyList::readDictionaryFile(hostPath().string()); }

    std::string m_identifier;

private:
    static const std::filesystem::path& processDeviceRoot()
    {
        // Never destroyed, so that the exit handler can still use it.
        static const auto* root = [] {
            auto* path = new std::filesystem::path(std::filesystem::temp_directory_path() / ("cephei-test-" + std::to_string(::getpid())));
            std::filesystem::create_directories(*path);
            ::setenv("KAVLOR_DEVICE_ROOT", path->c_str(), 1);
            std::atexit(removeProcessDeviceRoot);
            return path;
        }();
        return *root;
    }
    static void removeProcessDeviceRoot()
    {
        std::error_code ignored;
        std::filesystem::remove_all(processDeviceRoot(), ignored);
    }
};
