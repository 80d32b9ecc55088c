// Switching between the owner and a guest: the start and end handlers, and the respring.

#include "Hook.h"

namespace {

KAVLOR_HOOK(homeScreenDidAppear) = replace({ 9, HookGroup::Switching, "SBHomeScreenViewController", "viewDidAppear:" },
    [](const Previous<void(bool)>& previous, id self, SEL _cmd, bool animated) {
        previous(self, _cmd, animated);
    });

} // namespace
