#include "UIResponder.h"

void UIResponder::declare()
{
    ClassBuilder("UIResponder", "NSObject")
        .instancesOf<UIResponder>()
        .method("nextResponder", [](id, SEL) -> id { return nil; })
        .method("canBecomeFirstResponder", [](id, SEL) -> bool { return false; });
}
