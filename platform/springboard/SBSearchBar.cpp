#include "SBSearchBar.h"

#include "UIKitSupport.h"

void SBSearchBar::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBSearchBar>().method("layoutSubviews", [](id self, SEL) {
        sendSuper(UIKitSupport::classNamed("SBSearchBar"), self, "layoutSubviews");
    });
}
