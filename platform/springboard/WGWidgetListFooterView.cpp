#include "WGWidgetListFooterView.h"

#include "UIKitSupport.h"

void WGWidgetListFooterView::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<WGWidgetListFooterView>().method("didMoveToWindow", [](id self, SEL) {
        sendSuper(UIKitSupport::classNamed("WGWidgetListFooterView"), self, "didMoveToWindow");
        ++UIKitSupport::objectAs<WGWidgetListFooterView>(self, "WGWidgetListFooterView").m_windowMoves;
    });
}
