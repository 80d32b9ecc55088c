#include "UIAlertController.h"

#include "ScreenChanges.h"
#include "UIAlertAction.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

UIAlertController& alertOf(const id& self) { return objectAs<UIAlertController>(self, "UIAlertController"); }

} // namespace

std::string UIAlertController::titleString() const
{
    return UIKitSupport::stringValue(title());
}

std::string UIAlertController::messageString() const
{
    return UIKitSupport::stringValue(m_message);
}

Trace::Fields UIAlertController::presentationTraceFields() const
{
    std::string titles;
    for (const auto& action : m_actions)
        titles += (titles.empty() ? "" : "|") + action.as<UIAlertAction>()->titleString();
    return { { "title", titleString() }, { "message", messageString() }, { "actions", titles } };
}

void UIAlertController::wasPresented(const UIViewController& presenter)
{
    std::string titles;
    std::string styles;
    for (const auto& action : m_actions) {
        auto button = action.as<UIAlertAction>();
        titles += (titles.empty() ? "" : "|") + button->titleString();
        styles += (styles.empty() ? "" : "|") + std::to_string(button->style());
    }
    Trace::emit("alert",
        { { "presenter", object_getClassName(id(const_cast<UIViewController*>(&presenter))) }, { "title", titleString() },
            { "message", messageString() }, { "actions", titles }, { "styles", styles } });
}

bool UIAlertController::tapAction(const id& alert, const std::string& title)
{
    for (const auto& action : alertOf(alert).m_actions) {
        auto button = action.as<UIAlertAction>();
        if (button->titleString() != title)
            continue;
        if (!button->isEnabled())
            return false;
        send(alert, "_dismissAnimated:triggeringAction:", true, action);
        return true;
    }
    return false;
}

void UIAlertController::dismissTriggeringAction(const id& alert, const id& action, bool animated)
{
    auto button = action.as<UIAlertAction>();
    if (!button)
        return;
    id keepAlive = alert;
    Trace::emit("alert-action",
        { { "title", alertOf(alert).titleString() }, { "action", button->titleString() }, { "style", std::to_string(button->style()) } });
    send(alert, "dismissViewControllerAnimated:completion:", animated, nil);
    UIKitSupport::callBlockLeniently(button->handler(), action);
}

void UIAlertController::declare()
{
    ClassBuilder("UIAlertController", "UIViewController")
        .instancesOf<UIAlertController>()
        .classMethod("alertControllerWithTitle:message:preferredStyle:", [](id cls, SEL, id title, id message, long long style) -> id {
            id alert = send<id>(send<id>(cls, "alloc"), "init");
            UIAlertController& object = alertOf(alert);
            object.setTitle(title);
            object.m_message = message;
            object.m_preferredStyle = style == 1 ? UIAlertControllerStyleAlert : UIAlertControllerStyleActionSheet;
            return alert;
        })
        .method("message", [](id self, SEL) -> id { return alertOf(self).message(); })
        .method("setMessage:", [](id self, SEL, id message) { ScreenChanges::setDrawn(alertOf(self).m_message, message); })
        .method("preferredStyle", [](id self, SEL) -> long long { return alertOf(self).preferredStyle(); })
        .method("actions", [](id self, SEL) -> id { return NSArray::array(alertOf(self).actions()); })
        .method("addAction:", [](id self, SEL, id action) {
            if (!action.as<UIAlertAction>())
                throw RuntimeError(fmt::format("-[UIAlertController addAction:]: {} is not an alert action", object_getClassName(action)));
            alertOf(self).m_actions.push_back(action);
            ScreenChanges::markChanged();
        })
        .method("_dismissAnimated:triggeringAction:", [](id self, SEL, bool animated, id action) { dismissTriggeringAction(self, action, animated); });
}
