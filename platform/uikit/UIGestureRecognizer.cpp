#include "UIGestureRecognizer.h"

#include "TargetAction.h"
#include "Trace.h"
#include "UIKitSupport.h"
#include "UIView.h"

#include <algorithm>

using UIKitSupport::objectAs;

namespace {

UIGestureRecognizer& recognizerOf(const id& self) { return objectAs<UIGestureRecognizer>(self, "UIGestureRecognizer"); }

} // namespace

void UIGestureRecognizer::addTarget(const id& target, SEL action)
{
    if (!target || !action)
        return;
    m_targets.push_back({ target.get(), action });
}

void UIGestureRecognizer::removeTarget(const id& target, SEL action)
{
    std::erase_if(m_targets, [&](const Target& t) { return (!target || t.target == target.get()) && (!action || t.action == action); });
}

void UIGestureRecognizer::detach(const UIView* view)
{
    if (m_view == view)
        m_view = nullptr;
    std::erase_if(m_targets, [&](const Target& t) { return t.target == view; });
}

bool UIGestureRecognizer::fire(const id& recognizer)
{
    UIGestureRecognizer& gesture = recognizerOf(recognizer);
    if (!gesture.m_enabled || !gesture.m_view)
        return false;
    id view(gesture.m_view);
    if (!send<bool>(view, "gestureRecognizerShouldBegin:", recognizer)) {
        gesture.m_state = Failed;
        Trace::emit("gesture-refused", { { "recognizer", object_getClassName(recognizer) }, { "view", object_getClassName(view) } });
        gesture.m_state = Possible;
        return false;
    }
    gesture.m_state = Ended;
    Trace::emit("gesture-recognized", { { "recognizer", object_getClassName(recognizer) }, { "view", object_getClassName(view) } });
    auto targets = gesture.m_targets;
    for (const Target& target : targets)
        performTargetAction(id(target.target), target.action, recognizer);
    gesture.m_state = Possible;
    return true;
}

void UIGestureRecognizer::declare()
{
    ClassBuilder("UIGestureRecognizer", "NSObject")
        .instancesOf<UIGestureRecognizer>()
        .method("initWithTarget:action:", [](id self, SEL, id target, SEL action) -> id {
            recognizerOf(self).addTarget(target, action);
            return self;
        })
        .method("addTarget:action:", [](id self, SEL, id target, SEL action) { recognizerOf(self).addTarget(target, action); })
        .method("removeTarget:action:", [](id self, SEL, id target, SEL action) { recognizerOf(self).removeTarget(target, action); })
        .method("view", [](id self, SEL) -> id { return id(recognizerOf(self).view()); })
        .method("state", [](id self, SEL) -> long long { return recognizerOf(self).state(); })
        .method("isEnabled", [](id self, SEL) -> bool { return recognizerOf(self).isEnabled(); })
        .method("setEnabled:", [](id self, SEL, bool enabled) { recognizerOf(self).setEnabled(enabled); });
    ClassBuilder("UIPanGestureRecognizer", "UIGestureRecognizer");
}
