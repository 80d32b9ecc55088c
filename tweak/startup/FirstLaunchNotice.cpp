// The compatibility notice shown after SpringBoard finishes launching, until confirmed.

#include "Hook.h"

namespace {

KAVLOR_HOOK(didFinishLaunching) = replace({ 35, HookGroup::Base, "SpringBoard", "applicationDidFinishLaunching:" },
    [](const Previous<void(id)>& previous, id self, SEL _cmd, id application) {
        previous(self, _cmd, application);
    });

} // namespace
