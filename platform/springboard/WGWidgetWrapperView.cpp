#include "WGWidgetWrapperView.h"

#include "UIKitSupport.h"

void WGWidgetWrapperView::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<WGWidgetWrapperView>().method("layoutSubviews", [](id self, SEL) {
        sendSuper(UIKitSupport::classNamed("WGWidgetWrapperView"), self, "layoutSubviews");
    });
}
