#include "SBHomeScreenViewController.h"

#include "UIKitSupport.h"

void SBHomeScreenViewController::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBHomeScreenViewController>()
        .method("viewDidAppear:", [](id self, SEL, bool animated) {
            sendSuper(UIKitSupport::classNamed("SBHomeScreenViewController"), self, "viewDidAppear:", animated);
        });
}
