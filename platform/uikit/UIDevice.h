#pragma once
// UIDevice: the current device; its user-interface idiom (0 phone, 1 pad) comes from the
// device configuration (DeviceConfiguration.h), read when first asked for in a process.
// On a "legacy" device, currentDevice is of the class UILegacyDevice, which answers
// model and systemName but not userInterfaceIdiom, as devices did before the idiom
// existed; code that asks respondsToSelector: first treats it as a phone.

#include "DeviceConfiguration.h"
#include "ClassBuilder.h"

enum UIUserInterfaceIdiom : long long {
    UIUserInterfaceIdiomPhone = 0,
    UIUserInterfaceIdiomPad = 1,
};

class UIDevice : public objc_object {
public:
    static void declare();
    static id currentDevice();

    UIUserInterfaceIdiom userInterfaceIdiom() const { return m_idiom; }

private:
    UIUserInterfaceIdiom m_idiom { UIUserInterfaceIdiomPhone };
};
