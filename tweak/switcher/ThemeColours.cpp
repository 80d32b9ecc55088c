#include "ThemeColours.h"

#include "MainInitialiser.h"
#include "ProfileStore.h"

Id<HBPreferences> colourSettings;
bool colourCustomChromaEnabled;

void colourSettingsInitialiser()
{
    colourSettings = HBPreferences::alloc()->initWithIdentifier(kSettingsDomain);
    colourSettings->registerBool(&colourCustomChromaEnabled, NO, "toggleCustomChroma");
}
