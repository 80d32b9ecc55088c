#include "UIScreen.h"

#include "DeviceConfiguration.h"
#include "UIKitState.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

id UIScreen::mainScreen()
{
    UIKitState& state = UIKitState::shared();
    if (!state.screen) {
        id screen = UIKitSupport::allocInit("UIScreen");
        DeviceConfiguration configuration = DeviceConfiguration::load();
        objectAs<UIScreen>(screen, "UIScreen").m_bounds = CGRectMake(0, 0, configuration.screenWidth, configuration.screenHeight);
        state.screen = screen;
    }
    return state.screen;
}

CGRect UIScreen::mainScreenBounds()
{
    return objectAs<UIScreen>(mainScreen(), "UIScreen").bounds();
}

void UIScreen::declare()
{
    ClassBuilder("UIScreen", "NSObject")
        .instancesOf<UIScreen>()
        .classMethod("mainScreen", [](id, SEL) -> id { return mainScreen(); })
        .method("bounds", [](id self, SEL) -> CGRect { return objectAs<UIScreen>(self, "UIScreen").bounds(); })
        .method("scale", [](id self, SEL) -> double { return objectAs<UIScreen>(self, "UIScreen").scale(); });
}
