#include "UIDevice.h"

#include "UIKitState.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

id UIDevice::currentDevice()
{
    UIKitState& state = UIKitState::shared();
    if (!state.device) {
        auto idiom = DeviceConfiguration::load().idiom;
        id device = UIKitSupport::allocInit(idiom == DeviceConfiguration::Idiom::Legacy ? "UILegacyDevice" : "UIDevice");
        bool pad = idiom == DeviceConfiguration::Idiom::Pad;
        objectAs<UIDevice>(device, "UIDevice").m_idiom = pad ? UIUserInterfaceIdiomPad : UIUserInterfaceIdiomPhone;
        state.device = device;
    }
    return state.device;
}

void UIDevice::declare()
{
    ClassBuilder("UIDevice", "NSObject")
        .instancesOf<UIDevice>()
        .classMethod("currentDevice", [](id, SEL) -> id { return currentDevice(); })
        .method("userInterfaceIdiom", [](id self, SEL) -> long long { return objectAs<UIDevice>(self, "UIDevice").userInterfaceIdiom(); })
        .method("model", [](id self, SEL) -> id {
            return objectAs<UIDevice>(self, "UIDevice").userInterfaceIdiom() == UIUserInterfaceIdiomPad ? "iPad"_ns : "iPhone"_ns;
        })
        .method("systemName", [](id, SEL) -> id { return "iOS"_ns; });
    ClassBuilder("UILegacyDevice", "NSObject")
        .instancesOf<UIDevice>()
        .method("model", [](id, SEL) -> id { return "iPhone"_ns; })
        .method("systemName", [](id, SEL) -> id { return "iOS"_ns; });
}
