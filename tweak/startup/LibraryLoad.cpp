// MobileSubstrate loads the library into SpringBoard before SpringBoard's own start-up;
// the initialisers run then, once each, in this order.

#include "MainInitialiser.h"

namespace {

__attribute__((constructor)) void kavlorLibraryLoaded()
{
    mainInitialiser();
    secondInitialiser();
    colourSettingsInitialiser();
    blurViewSettingsInitialiser();
    panelSettingsInitialiser();
}

} // namespace
