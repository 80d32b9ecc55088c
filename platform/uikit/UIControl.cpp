#include "UIControl.h"

#include "TargetAction.h"
#include "UIKitSupport.h"

#include <algorithm>

using UIKitSupport::objectAs;

namespace {

UIControl& controlOf(const id& self) { return objectAs<UIControl>(self, "UIControl"); }

} // namespace

void UIControl::addTarget(const id& target, SEL action, unsigned long long events)
{
    if (!action || !events)
        return;
    for (auto& existing : m_targetActions) {
        if (existing.target == target && existing.action == action) {
            existing.events |= events;
            return;
        }
    }
    m_targetActions.push_back({ target, action, events });
}

void UIControl::removeTarget(const id& target, SEL action, unsigned long long events)
{
    for (auto& existing : m_targetActions) {
        if ((!target || existing.target == target) && (!action || existing.action == action))
            existing.events &= ~events;
    }
    std::erase_if(m_targetActions, [](const TargetAction& entry) { return entry.events == 0; });
}

void UIControl::sendActionsForControlEvents(unsigned long long events)
{
    if (!m_enabled)
        return;
    id self(this);
    auto actions = m_targetActions;
    for (const auto& entry : actions) {
        if (entry.events & events)
            performTargetAction(entry.target, entry.action, self);
    }
}

void UIControl::declare()
{
    ClassBuilder("UIControl", "UIView")
        .instancesOf<UIControl>()
        .method("addTarget:action:forControlEvents:", [](id self, SEL, id target, SEL action, unsigned long long events) {
            controlOf(self).addTarget(target, action, events);
        })
        .method("removeTarget:action:forControlEvents:", [](id self, SEL, id target, SEL action, unsigned long long events) {
            controlOf(self).removeTarget(target, action, events);
        })
        .method("sendActionsForControlEvents:", [](id self, SEL, unsigned long long events) { controlOf(self).sendActionsForControlEvents(events); })
        .method("allTargets", [](id self, SEL) -> id {
            std::vector<id> targets;
            for (const auto& entry : controlOf(self).targetActions()) {
                if (entry.target && std::find(targets.begin(), targets.end(), entry.target) == targets.end())
                    targets.push_back(entry.target);
            }
            return NSArray::array(targets);
        })
        .method("isEnabled", [](id self, SEL) -> bool { return controlOf(self).isEnabled(); })
        .method("setEnabled:", [](id self, SEL, bool enabled) { controlOf(self).m_enabled = enabled; });
}
