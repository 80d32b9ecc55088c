#include "CSAdjunctListView.h"

#include "Trace.h"
#include "UIKitSupport.h"
#include "UIStackView.h"

using UIKitSupport::objectAs;

void CSAdjunctListView::layoutStackView()
{
    auto subviews = this->subviews();
    for (const auto& subview : subviews) {
        auto stack = subview.as<UIStackView>();
        if (!stack)
            continue;
        stack->setNeedsLayout();
        send(subview, "layoutIfNeeded");
        size_t visible = 0;
        for (const auto& arranged : stack->arrangedSubviews())
            visible += UIView::from(arranged)->isHidden() ? 0 : 1;
        Trace::emit("stack-view-layout",
            { { "view", object_getClassName(id(this)) }, { "arranged", std::to_string(stack->arrangedSubviews().size()) },
                { "visible", std::to_string(visible) } });
    }
}

void CSAdjunctListView::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<CSAdjunctListView>().method(
        "_layoutStackView", [](id self, SEL) { objectAs<CSAdjunctListView>(self, "CSAdjunctListView").layoutStackView(); });
}
