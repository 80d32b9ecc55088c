#include "BlurBaseView.h"

#include "MainInitialiser.h"
#include "ProfileStore.h"

Id<HBPreferences> blurViewSettings;
bool blurCustomChromaEnabled;

void blurViewSettingsInitialiser()
{
    blurViewSettings = HBPreferences::alloc()->initWithIdentifier(KavlorSchema::kSettingsDomain);
    blurViewSettings->registerBool(&blurCustomChromaEnabled, NO, KavlorSchema::Key::toggleCustomChroma);
}
