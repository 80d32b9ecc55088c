// A guest's disabled apps: their icons are refused by the icon lists and their processes are killed.

#include "Hook.h"

namespace {

KAVLOR_HOOK(isForeground) = replace({ 11, HookGroup::Guest, "FBProcess", "isForeground" },
    [](const Previous<bool()>& previous, id self, SEL _cmd) -> bool {
        return previous(self, _cmd);
    });

KAVLOR_HOOK(placeIcon) = replace({ 29, HookGroup::Guest, "SBIconListModel", "placeIcon:atIndex:" },
    [](const Previous<id(id, unsigned long long)>& previous, id self, SEL _cmd, id icon, unsigned long long index) -> id {
        return previous(self, _cmd, icon, index);
    });

KAVLOR_HOOK(insertIcon) = replace({ 30, HookGroup::Guest, "SBIconListModel", "insertIcon:atIndex:options:" },
    [](const Previous<id(id, unsigned long long, unsigned long long)>& previous, id self, SEL _cmd, id icon, unsigned long long index,
        unsigned long long options) -> id { return previous(self, _cmd, icon, index, options); });

KAVLOR_HOOK(addIcon) = replace({ 31, HookGroup::Guest, "SBIconListModel", "addIcon:asDirty:" },
    [](const Previous<id(id, bool)>& previous, id self, SEL _cmd, id icon, bool dirty) -> id {
        return previous(self, _cmd, icon, dirty);
    });

} // namespace
