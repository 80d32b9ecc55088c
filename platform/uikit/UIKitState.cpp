#include "UIKitState.h"

UIKitState& UIKitState::shared()
{
    // Never destroyed: objects that outlive static destruction may still unregister.
    static auto* state = new UIKitState;
    return *state;
}

void UIKitState::reset()
{
    UIKitState& state = shared();
    state.application = nil;
    state.device = nil;
    state.screen = nil;
    state.keyWindow = nullptr;
    state.userInterfaceStyle = 1;
    // Windows still alive stay listed: they unregister themselves when they go.
}
