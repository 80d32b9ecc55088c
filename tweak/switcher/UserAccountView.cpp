#include "UserAccountView.h"

#include "MainInitialiser.h"
#include "ProfileStore.h"

Id<HBPreferences> panelSettings;
bool panelKavlorActive;

void panelSettingsInitialiser()
{
    panelSettings = HBPreferences::alloc()->initWithIdentifier(KavlorSchema::kSettingsDomain);
    panelSettings->registerBool(&panelKavlorActive, NO, KavlorSchema::Key::isKavlorActive);
}
