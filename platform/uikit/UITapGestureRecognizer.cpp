#include "UITapGestureRecognizer.h"

#include "UIKitSupport.h"
#include "UIView.h"

using UIKitSupport::objectAs;

namespace {

UITapGestureRecognizer& tapOf(const id& self) { return objectAs<UITapGestureRecognizer>(self, "UITapGestureRecognizer"); }

bool reachesTouches(const UIView* view)
{
    for (; view; view = view->superview()) {
        if (view->isHidden() || !view->isUserInteractionEnabled())
            return false;
    }
    return true;
}

} // namespace

bool UITapGestureRecognizer::tap(const id& view, unsigned long long taps)
{
    auto target = UIView::from(view);
    if (!target || !reachesTouches(target.get()))
        return false;
    for (UIView* candidate = target.get(); candidate; candidate = candidate->superview()) {
        id keepAlive(candidate);
        auto recognizers = candidate->gestureRecognizers();
        for (const auto& recognizer : recognizers) {
            auto tapRecognizer = recognizer.as<UITapGestureRecognizer>();
            if (tapRecognizer && tapRecognizer->m_taps == taps && fire(recognizer))
                return true;
        }
    }
    return false;
}

void UITapGestureRecognizer::declare()
{
    ClassBuilder("UITapGestureRecognizer", "UIGestureRecognizer")
        .instancesOf<UITapGestureRecognizer>()
        .method("numberOfTapsRequired", [](id self, SEL) -> unsigned long long { return tapOf(self).numberOfTapsRequired(); })
        .method("setNumberOfTapsRequired:", [](id self, SEL, unsigned long long taps) { tapOf(self).setNumberOfTapsRequired(taps); })
        .method("numberOfTouchesRequired", [](id self, SEL) -> unsigned long long { return tapOf(self).numberOfTouchesRequired(); })
        .method("setNumberOfTouchesRequired:", [](id self, SEL, unsigned long long touches) { tapOf(self).setNumberOfTouchesRequired(touches); });
}
