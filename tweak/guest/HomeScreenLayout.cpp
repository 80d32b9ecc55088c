// The owner's icon layout kept in the icon-state file, and the guest's wallpaper behind the home screen.

#include "Hook.h"

namespace {

KAVLOR_HOOK(loadIconState) = replace({ 6, HookGroup::Base, "SBDefaultIconModelStore", "loadCurrentIconState:" },
    [](const Previous<id(id*)>& previous, id self, SEL _cmd, id* error) -> id {
        return previous(self, _cmd, error);
    });

KAVLOR_HOOK(saveIconState) = replace({ 7, HookGroup::Base, "SBDefaultIconModelStore", "saveCurrentIconState:error:" },
    [](const Previous<bool(id, id*)>& previous, id self, SEL _cmd, id state, id* error) -> bool {
        return previous(self, _cmd, state, error);
    });

KAVLOR_HOOK(iconControllerWillAppear) = replace({ 8, HookGroup::Base, "SBIconController", "viewWillAppear:" },
    [](const Previous<void(bool)>& previous, id self, SEL _cmd, bool animated) {
        previous(self, _cmd, animated);
    });

} // namespace
