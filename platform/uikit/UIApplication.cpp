#include "UIApplication.h"

#include "UIKitState.h"
#include "UIKitSupport.h"
#include "UIWindow.h"

using UIKitSupport::objectAs;

id UIApplication::shared()
{
    return UIKitState::shared().application;
}

void UIApplication::declare()
{
    ClassBuilder("UIApplication", "UIResponder")
        .instancesOf<UIApplication>()
        .classMethod("sharedApplication", [](id, SEL) -> id { return shared(); })
        .method("init", [](id self, SEL) -> id {
            if (!UIKitState::shared().application)
                UIKitState::shared().application = self;
            return self;
        })
        .method("delegate", [](id self, SEL) -> id { return objectAs<UIApplication>(self, "UIApplication").delegate(); })
        .method("setDelegate:", [](id self, SEL, id delegate) { objectAs<UIApplication>(self, "UIApplication").setDelegate(delegate); })
        .method("windows", [](id, SEL) -> id {
            std::vector<id> windows;
            for (UIWindow* window : UIKitState::shared().windows)
                windows.push_back(id(window));
            return NSArray::array(std::move(windows));
        })
        .method("keyWindow", [](id, SEL) -> id { return id(UIKitState::shared().keyWindow); });
}
