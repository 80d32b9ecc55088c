#include "UITraitCollection.h"

#include "ScreenChanges.h"
#include "UIKitState.h"
#include "UIKitSupport.h"
#include "UIView.h"
#include "UIWindow.h"

using UIKitSupport::objectAs;

namespace {

UIUserInterfaceStyle styleArgument(long long value)
{
    if (value < UIUserInterfaceStyleUnspecified || value > UIUserInterfaceStyleDark)
        throw RuntimeError(fmt::format("UITraitCollection: {} is not a user interface style (0 unspecified, 1 light, 2 dark)", value));
    return static_cast<UIUserInterfaceStyle>(value);
}

} // namespace

id UITraitCollection::traitCollectionWithUserInterfaceStyle(UIUserInterfaceStyle style)
{
    id traits = UIKitSupport::allocInit("UITraitCollection");
    objectAs<UITraitCollection>(traits, "UITraitCollection").m_style = style;
    return traits;
}

id UITraitCollection::currentTraitCollection()
{
    return traitCollectionWithUserInterfaceStyle(static_cast<UIUserInterfaceStyle>(UIKitState::shared().userInterfaceStyle));
}

void UITraitCollection::sendTraitCollectionDidChange(UIView* root, const id& previous)
{
    if (!root)
        return;
    id view(root);
    send(view, "traitCollectionDidChange:", previous);
    auto children = root->subviews();
    for (const auto& child : children)
        sendTraitCollectionDidChange(UIView::from(child).get(), previous);
}

void UITraitCollection::setUserInterfaceStyle(UIUserInterfaceStyle style)
{
    UIKitState& state = UIKitState::shared();
    if (state.userInterfaceStyle == style)
        return;
    id previous = currentTraitCollection();
    state.userInterfaceStyle = style;
    ScreenChanges::markChanged();
    // Windows may come and go while their views answer; walk a held copy.
    std::vector<id> windows;
    for (UIWindow* window : state.windows)
        windows.push_back(id(window));
    for (const auto& window : windows)
        sendTraitCollectionDidChange(UIView::from(window).get(), previous);
}

void UITraitCollection::declare()
{
    ClassBuilder("UITraitCollection", "NSObject")
        .instancesOf<UITraitCollection>()
        .classMethod("currentTraitCollection", [](id, SEL) -> id { return currentTraitCollection(); })
        .classMethod("traitCollectionWithUserInterfaceStyle:", [](id, SEL, long long style) -> id {
            return traitCollectionWithUserInterfaceStyle(styleArgument(style));
        })
        .method("userInterfaceStyle", [](id self, SEL) -> long long { return objectAs<UITraitCollection>(self, "UITraitCollection").userInterfaceStyle(); });
}
