#include "CALayer.h"

#include "ScreenChanges.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

void CALayer::declare()
{
    ClassBuilder("CALayer", "NSObject")
        .instancesOf<CALayer>()
        .method("cornerRadius", [](id self, SEL) -> double { return objectAs<CALayer>(self, "CALayer").cornerRadius(); })
        .method("setCornerRadius:", [](id self, SEL, double radius) { objectAs<CALayer>(self, "CALayer").setCornerRadius(radius); })
        .method("masksToBounds", [](id self, SEL) -> bool { return objectAs<CALayer>(self, "CALayer").masksToBounds(); })
        .method("setMasksToBounds:", [](id self, SEL, bool masks) { objectAs<CALayer>(self, "CALayer").setMasksToBounds(masks); })
        .method("borderWidth", [](id self, SEL) -> double { return objectAs<CALayer>(self, "CALayer").m_borderWidth; })
        .method("setBorderWidth:", [](id self, SEL, double width) { ScreenChanges::setDrawn(objectAs<CALayer>(self, "CALayer").m_borderWidth, width); })
        .method("borderColor", [](id self, SEL) -> id { return objectAs<CALayer>(self, "CALayer").m_borderColor; })
        .method("setBorderColor:", [](id self, SEL, id color) { ScreenChanges::setDrawn(objectAs<CALayer>(self, "CALayer").m_borderColor, color); });
}
