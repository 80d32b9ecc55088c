#pragma once
// A fresh simulated platform per test: a device root of its own, a clean runtime with
// UIKit and the SpringBoard classes of one iOS version registered.

#include "SpringBoardClasses.h"
#include "UIKitSupport.h"
#include "UIKitTestSupport.h"

#include <gtest/gtest.h>

class SpringBoardTest : public ::testing::Test {
protected:
    void registerVersion(int iosMajor)
    {
        objc_resetRuntimeForTesting();
        registerSpringBoardClasses(iosMajor);
    }

    // Writes SpringBoard's icon state: pages of bundle identifiers and a dock.
    void writeIconState(std::vector<std::vector<std::string>> pages, std::vector<std::string> dock) const
    {
        std::filesystem::create_directories(m_root.path() + "/var/mobile/Library/SpringBoard");
        PropertyList::writeFile(SBDefaultIconModelStore::defaultPath, iconState(std::move(pages), std::move(dock)));
    }

    static Id<NSDictionary> iconState(std::vector<std::vector<std::string>> pages, std::vector<std::string> dock)
    {
        auto strings = [](const std::vector<std::string>& ids) {
            std::vector<id> items;
            for (const auto& bundleID : ids)
                items.push_back(NSString::string(bundleID));
            return NSArray::array(std::move(items));
        };
        std::vector<id> lists;
        for (const auto& page : pages)
            lists.push_back(strings(page));
        return NSDictionary::dictionary({ { "buttonBar", strings(dock) }, { "iconLists", NSArray::array(std::move(lists)) } });
    }

    TemporaryDeviceRoot m_root;
};
