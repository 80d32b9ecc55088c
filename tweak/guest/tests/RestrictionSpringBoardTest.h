#pragma once
// A SpringBoard started in this process with the library's hooks installed as the main
// initialiser installs them, for the settings and files a test wrote first.

#include "TweakTestEnvironment.h"

#include "DeviceRoot.h"
#include "HookTable.h"
#include "MainInitialiser.h"
#include "NSProcessInfo.h"
#include "SpringBoardClasses.h"
#include "UIKitTestSupport.h"

class RestrictionSpringBoardTest : public TweakTestEnvironment {
protected:
    void TearDown() override
    {
        NSProcessInfo::setArgumentsForTesting(std::nullopt);
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        SpringBoardApp::discard();
        TweakTestEnvironment::TearDown();
    }

    static Id<HBPreferences> settings() { return HBPreferences::preferencesForIdentifier(kSettingsDomain); }

    // The settings of a SpringBoard started for a guest (or, with nil, for the owner).
    static void activate(const char* guest)
    {
        settings()->setBool(true, Key::toggleKavlor);
        settings()->setBool(guest != nullptr, Key::isKavlorActive);
        settings()->setObject(NSString::string(guest ? guest : kOwnerName), Key::activeUser);
    }

    static id toggles(std::vector<const char*> blocked)
    {
        auto dictionary = NSDictionary::mutableDictionary();
        for (const char* index : blocked)
            dictionary->setObject(NSNumber::numberWithBool(true), index);
        return dictionary;
    }

    // Registers the classes of the version, runs the library's initialisers (the main one
    // as in SpringBoard's process) and starts SpringBoard.
    SpringBoardApp& launch(int iosMajor = 14)
    {
        objc_resetRuntimeForTesting();
        registerSpringBoardClasses(iosMajor);
        for (const HookDeclaration* hook : hookTable()) {
            if (hook->slot)
                hook->slot->keep(nullptr, nullptr, hook->encoding());
        }
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion { iosMajor, 4, 0 });
        NSProcessInfo::setArgumentsForTesting(std::vector<std::string> { "/System/Library/CoreServices/SpringBoard.app/SpringBoard" });
        mainSettings = nullptr;
        crntUserData = nullptr;
        disabledApps = nullptr;
        mainInitialiser();
        secondInitialiser();
        return SpringBoardApp::launch();
    }

    static void writeIconState(std::vector<std::string> page)
    {
        std::vector<id> entries;
        for (const auto& bundleID : page)
            entries.push_back(NSString::string(bundleID));
        std::filesystem::create_directories(devicePath("/var/mobile/Library/SpringBoard"));
        ASSERT_TRUE(PropertyList::writeFile(SBDefaultIconModelStore::defaultPath,
            NSDictionary::dictionary({ { "buttonBar", NSArray::array() }, { "iconLists", NSArray::array({ NSArray::array(entries) }) } })));
    }
};
