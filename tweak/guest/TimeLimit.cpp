// The guest's time limit, counted down in the status bar; guest mode ends at zero.

#include "Hook.h"

namespace {

KAVLOR_HOOK(setStatusBar) = replace({ 32, HookGroup::Guest, "UIStatusBarWindow", "setStatusBar:" },
    [](const Previous<void(id)>& previous, id self, SEL _cmd, id statusBar) {
        previous(self, _cmd, statusBar);
    });

KAVLOR_HOOK(start) = add({ 33, HookGroup::Guest, "UIStatusBarWindow", "start" }, [](id, SEL) { });

KAVLOR_HOOK(timerFired) = add({ 34, HookGroup::Guest, "UIStatusBarWindow", "timerFired" }, [](id, SEL) { });

} // namespace
