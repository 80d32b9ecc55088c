#include "SBIconView.h"

#include "UIKitSupport.h"

using UIKitSupport::objectAs;

void SBIconView::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBIconView>()
        .method("icon", [](id self, SEL) -> id { return objectAs<SBIconView>(self, "SBIconView").m_icon; })
        .method("setIcon:", [](id self, SEL, id icon) { objectAs<SBIconView>(self, "SBIconView").m_icon = icon; });
}
