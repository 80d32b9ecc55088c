#include "ThemeColours.h"

#include "MainInitialiser.h"
#include "ProfileStore.h"

Id<HBPreferences> colourSettings;
bool colourCustomChromaEnabled;

void colourSettingsInitialiser()
{
    colourSettings = HBPreferences::alloc()->initWithIdentifier(KavlorSchema::kSettingsDomain);
    colourSettings->registerBool(&colourCustomChromaEnabled, NO, KavlorSchema::Key::toggleCustomChroma);
}
