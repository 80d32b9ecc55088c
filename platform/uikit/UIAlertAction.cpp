#include "UIAlertAction.h"

#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

UIAlertAction& actionOf(const id& self) { return objectAs<UIAlertAction>(self, "UIAlertAction"); }

} // namespace

std::string UIAlertAction::titleString() const
{
    return UIKitSupport::stringValue(m_title);
}

void UIAlertAction::declare()
{
    ClassBuilder("UIAlertAction", "NSObject")
        .instancesOf<UIAlertAction>()
        .classMethod("actionWithTitle:style:handler:", [](id cls, SEL, id title, long long style, id handler) -> id {
            id action = send<id>(send<id>(cls, "alloc"), "init");
            UIAlertAction& object = actionOf(action);
            object.m_title = title;
            object.m_style = style >= 0 && style <= 2 ? static_cast<UIAlertActionStyle>(style) : UIAlertActionStyleDefault;
            object.m_handler = handler;
            return action;
        })
        .method("title", [](id self, SEL) -> id { return actionOf(self).title(); })
        .method("style", [](id self, SEL) -> long long { return actionOf(self).style(); })
        .method("isEnabled", [](id self, SEL) -> bool { return actionOf(self).isEnabled(); })
        .method("setEnabled:", [](id self, SEL, bool enabled) { actionOf(self).m_enabled = enabled; });
}
