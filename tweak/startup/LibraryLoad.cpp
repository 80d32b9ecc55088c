// MobileSubstrate loads the library into SpringBoard before SpringBoard's own start-up;
// the initialisers run then, once each, in this order.

#include "BlurBaseView.h"
#include "MainInitialiser.h"
#include "ThemeColours.h"
#include "Trace.h"
#include "UserAccountCell.h"
#include "UserAccountView.h"

namespace {

void run(const char* name, void (*initialiser)())
{
    Trace::emit("initialiser", { { "name", name } });
    initialiser();
}

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
    run("main", mainInitialiser);
    run("second", secondInitialiser);
    run("colour settings", colourSettingsInitialiser);
    run("blur-view settings", blurViewSettingsInitialiser);
    run("panel settings", panelSettingsInitialiser);
}

} // namespace
