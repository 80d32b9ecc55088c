#include "CSScrollView.h"

#include "LockScreenClasses.h"
#include "UIKitSupport.h"

void CSScrollView::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<CSScrollView>()
        .method("initWithFrame:", [](id self, SEL, CGRect frame) -> id {
            self = sendSuper<id>(UIKitSupport::classNamed(LockScreenClasses::current().scrollView), self, "initWithFrame:", frame);
            send(self, "setPagingEnabled:", true);
            return self;
        });
}
