#pragma once
// A fresh device root per test, with the settings domain and the per-account files written
// as the preference bundle writes them.

#include "DarwinNotifyCenter.h"
#include "HBPreferences.h"
#include "NSNotificationCenter.h"
#include "ProfileStore.h"
#include "PropertyList.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace KavlorSchema;
using namespace KavlorSchema::Toggle;

class TweakTestEnvironment : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter;
        m_root = std::filesystem::temp_directory_path()
            / ("kavlor-tweak-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(m_root / "var/mobile/Library/Preferences");
        setenv("KAVLOR_DEVICE_ROOT", m_root.c_str(), 1);
        // A device's processes never change device root; a test process does, so it
        // listens afresh under each test's root and forgets the last test's observers.
        DarwinNotifyCenter::shared().resetForTesting();
        NSNotificationCenter::defaultCenter()->resetForTesting();
        resetModuleValues();
        mainSettings = HBPreferences::preferencesForIdentifier(kSettingsDomain);
    }

    void TearDown() override
    {
        resetModuleValues();
        unsetenv("KAVLOR_DEVICE_ROOT");
        std::filesystem::remove_all(m_root);
    }

    static void resetModuleValues()
    {
        mainSettings = nullptr;
        activeUser = nil;
        crntUserData = nullptr;
        disabledApps = nullptr;
        isKavlorActive = false;
        toggleKavlor = false;
    }

    static Id<NSDictionary> guestRecord(const std::string& name, std::vector<std::pair<std::string, id>> extra = {})
    {
        auto record = NSDictionary::mutableDictionary({
            { "UserName", NSString::string(name) },
            { "profileIcon", NSData::data({ 1, 2, 3 }) },
            { "PassCode", "2468"_ns },
        });
        for (auto& [key, value] : extra)
            record->setObject(value, key);
        return record;
    }

    static void writeUsers(std::vector<std::pair<std::string, id>> records)
    {
        ASSERT_TRUE(PropertyList::writeFile(kUserDataPath, NSDictionary::dictionary(std::move(records))));
    }

    static void writeAppList(std::vector<std::pair<std::string, id>> entries)
    {
        ASSERT_TRUE(PropertyList::writeFile(kAppListPath, NSDictionary::dictionary(std::move(entries))));
    }

    static id disabledList(std::vector<std::string> bundles)
    {
        std::vector<id> items;
        for (auto& bundle : bundles)
            items.push_back(NSString::string(bundle));
        return NSDictionary::dictionary({ { "Disabled", NSArray::array(items) } });
    }

    std::filesystem::path m_root;
};
