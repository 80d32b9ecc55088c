// MobileSubstrate loads the library into SpringBoard before SpringBoard's own start-up;
// the initialisers run then, once each, in this order.

#include "BlurBaseView.h"
#include "MainInitialiser.h"
#include "ThemeColours.h"
#include "UserAccountCell.h"
#include "UserAccountView.h"

namespace {

// The library's own classes and categories exist before any initialiser runs, as the
// runtime registers an image's classes before its initialisers.
void declareLibraryClasses()
{
    declareThemeColourCategories();
    declareBlurBaseView();
    declareUserAccountCell();
    declareUserAccountView();
}

__attribute__((constructor)) void kavlorLibraryLoaded()
{
    declareLibraryClasses();
    mainInitialiser();
    secondInitialiser();
    colourSettingsInitialiser();
    blurViewSettingsInitialiser();
    panelSettingsInitialiser();
}

} // namespace
