#include "HookTable.h"

#include "SystemLog.h"

#include <algorithm>

// The linker's bounds of the section that KAVLOR_HOOK fills.
extern "C" {
extern const HookDeclaration* const __start_kavlor_hooks[] __attribute__((visibility("hidden")));
extern const HookDeclaration* const __stop_kavlor_hooks[] __attribute__((visibility("hidden")));
}

const std::vector<const HookDeclaration*>& hookTable()
{
    static const std::vector<const HookDeclaration*> table = [] {
        std::vector<const HookDeclaration*> rows(__start_kavlor_hooks, __stop_kavlor_hooks);
        std::stable_sort(rows.begin(), rows.end(), [](const HookDeclaration* a, const HookDeclaration* b) {
            if (a->row.place != b->row.place)
                return a->row.place < b->row.place;
            return a->row.systems < b->row.systems;
        });
        return rows;
    }();
    return table;
}

// Installation -----------------------------------------------------------------------------

void PreviousSlot::keep(IMP previous, const char* replacedTypes, const std::string& ownTypes)
{
    imp = previous;
    types = replacedTypes ? replacedTypes : "";
    typesMatch = !previous || types == ownTypes;
}

hook_detail::FrameBase*& hook_detail::currentFrame()
{
    thread_local FrameBase* frame = nullptr;
    return frame;
}

void hook_detail::logFailureOnce(bool& logged, const id& self, SEL selector, const char* what)
{
    if (logged)
        return;
    logged = true;
    NSLog("Kavlor: -[%@ %@] failed, SpringBoard's own answer is kept: %@", NSString::string(object_getClassName(self)),
        NSString::string(sel_getName(selector)), NSString::string(what));
}

void hook_detail::raiseTypeMismatch(const PreviousSlot& slot, const id& self, SEL selector, const std::string& called)
{
    objc_raiseTypeMismatch(self, selector, slot.types, called);
}
