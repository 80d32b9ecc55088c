#pragma once
// SBDisplayItem: one app shown in the app switcher: bundleIdentifier, type ("q@:", 0 for
// an application).

#include "ClassBuilder.h"

#include <string>

class SBDisplayItem : public objc_object {
public:
    static void declare(ClassBuilder&, int iosMajor);
    static id applicationItem(const std::string& bundleIdentifier);

    std::string bundleIdentifier() const;

private:
    id m_bundleIdentifier;
    long long m_type { 0 };
};
