#include "SpringBoard.h"

#include "Trace.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

void SpringBoard::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SpringBoard>()
        .method("applicationDidFinishLaunching:", [](id self, SEL, id) {
            objectAs<SpringBoard>(self, "SpringBoard").m_didFinishLaunching = true;
            Trace::emit("springboard-did-finish-launching");
        })
        .method("didFinishLaunching", [](id self, SEL) -> bool { return objectAs<SpringBoard>(self, "SpringBoard").didFinishLaunching(); });
}
