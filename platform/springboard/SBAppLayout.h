#pragma once
// SBAppLayout: one card of the app switcher, the display items it shows (allItems; one
// app here). containsItemWithBundleIdentifier: tells whether one of them is that app.

#include "ClassBuilder.h"

#include <string>
#include <vector>

class SBAppLayout : public objc_object {
public:
    static void declare(ClassBuilder&, int iosMajor);
    static id layoutForApplication(const std::string& bundleIdentifier);

    const std::vector<id>& items() const { return m_items; }
    bool containsApplication(const std::string& bundleIdentifier) const;
    std::vector<std::string> bundleIdentifiers() const;

private:
    std::vector<id> m_items;
};
