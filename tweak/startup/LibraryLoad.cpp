// MobileSubstrate loads the library into SpringBoard before SpringBoard's own start-up;
// the initialisers run then, once each, in this order.

#include "MainInitialiser.h"
#include "Trace.h"

namespace {

void run(const char* name, void (*initialiser)())
{
    Trace::emit("initialiser", { { "name", name } });
    initialiser();
}

__attribute__((constructor)) void kavlorLibraryLoaded()
{
    run("main", mainInitialiser);
    run("second", secondInitialiser);
    run("colour settings", colourSettingsInitialiser);
    run("blur-view settings", blurViewSettingsInitialiser);
    run("panel settings", panelSettingsInitialiser);
}

} // namespace
