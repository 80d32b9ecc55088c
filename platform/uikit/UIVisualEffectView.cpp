#include "UIVisualEffectView.h"

#include "LayoutEngine.h"
#include "ScreenChanges.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

std::string blurEffectStyleName(long long style)
{
    switch (style) {
    case 0: return "extra-light";
    case 1: return "light";
    case 2: return "dark";
    case 3: return "extra-dark";
    case 4: return "regular";
    case 5: return "prominent";
    default: return std::to_string(style);
    }
}

void UIBlurEffect::declare()
{
    ClassBuilder("UIVisualEffect", "NSObject");
    ClassBuilder("UIBlurEffect", "UIVisualEffect")
        .instancesOf<UIBlurEffect>()
        .classMethod("effectWithStyle:", [](id, SEL, long long style) -> id {
            if (style < 0)
                throw RuntimeError(fmt::format("+[UIBlurEffect effectWithStyle:]: {} is no blur style", style));
            id effect = UIKitSupport::allocInit("UIBlurEffect");
            objectAs<UIBlurEffect>(effect, "UIBlurEffect").m_style = static_cast<UIBlurEffectStyle>(style);
            return effect;
        })
        .method("style", [](id self, SEL) -> long long { return objectAs<UIBlurEffect>(self, "UIBlurEffect").style(); })
        .method("description", [](id self, SEL) -> id {
            return NSString::string(fmt::format("<UIBlurEffect style={}>", blurEffectStyleName(objectAs<UIBlurEffect>(self, "UIBlurEffect").style())));
        });
}

void UIVisualEffectView::declare()
{
    ClassBuilder("UIVisualEffectView", "UIView")
        .instancesOf<UIVisualEffectView>()
        .method("initWithFrame:", [](id self, SEL, CGRect frame) -> id {
            self = sendSuper<id>(objc_getClass("UIVisualEffectView"), self, "initWithFrame:", frame);
            auto& view = objectAs<UIVisualEffectView>(self, "UIVisualEffectView");
            if (!view.m_contentView) {
                view.m_contentView = UIKitSupport::allocInitWithFrame("UIView", CGRect { CGPointZero, frame.size });
                send(view.m_contentView, "setAutoresizingMask:", static_cast<unsigned long long>(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight));
                send(self, "addSubview:", view.m_contentView);
            }
            return self;
        })
        .method("initWithEffect:", [](id self, SEL, id effect) -> id {
            self = send<id>(self, "initWithFrame:", CGRectZero);
            objectAs<UIVisualEffectView>(self, "UIVisualEffectView").m_effect = effect;
            return self;
        })
        .method("effect", [](id self, SEL) -> id { return objectAs<UIVisualEffectView>(self, "UIVisualEffectView").effect(); })
        .method("setEffect:", [](id self, SEL, id effect) { ScreenChanges::setDrawn(objectAs<UIVisualEffectView>(self, "UIVisualEffectView").m_effect, effect); })
        .method("contentView", [](id self, SEL) -> id { return objectAs<UIVisualEffectView>(self, "UIVisualEffectView").contentView(); });
}
