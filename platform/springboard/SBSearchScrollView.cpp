#include "SBSearchScrollView.h"

#include "UIKitSupport.h"

void SBSearchScrollView::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBSearchScrollView>().method("gestureRecognizerShouldBegin:", [](id self, SEL, id recognizer) -> bool {
        return sendSuper<bool>(UIKitSupport::classNamed("SBSearchScrollView"), self, "gestureRecognizerShouldBegin:", recognizer);
    });
}
