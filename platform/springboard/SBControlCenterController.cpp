#include "SBControlCenterController.h"

#include "SpringBoardState.h"
#include "Trace.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

SBControlCenterController& controllerOf(const id& self) { return objectAs<SBControlCenterController>(self, "SBControlCenterController"); }

} // namespace

void SBControlCenterController::setPresented(bool presented)
{
    if (presented == m_presented)
        return;
    m_presented = presented;
    Trace::emit("control-center", { { "state", presented ? "presented" : "dismissed" } });
}

void SBControlCenterController::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBControlCenterController>()
        .classMethod("sharedInstance", [](id cls, SEL) -> id { return SpringBoardState::sharedInstanceOf(cls); })
        .method("_shouldAllowControlCenterGesture", [](id, SEL) -> bool { return true; })
        .method("presentAnimated:", [](id self, SEL, bool) { controllerOf(self).setPresented(true); })
        .method("dismissAnimated:", [](id self, SEL, bool) { controllerOf(self).setPresented(false); })
        .method("isPresented", [](id self, SEL) -> bool { return controllerOf(self).isPresented(); });
}
