#include "UIButton.h"

#include "ScreenChanges.h"
#include "UIFont.h"
#include "UIKitSupport.h"

#include <algorithm>

using UIKitSupport::objectAs;

namespace {

UIButton& buttonOf(const id& self) { return objectAs<UIButton>(self, "UIButton"); }

constexpr double kTitleFontSize = 15;

id forState(const std::map<unsigned long long, id>& values, unsigned long long state)
{
    auto found = values.find(state);
    if (found != values.end() && found->second)
        return found->second;
    found = values.find(0);
    return found != values.end() ? found->second : nil;
}

void setForState(std::map<unsigned long long, id>& values, const id& value, unsigned long long state)
{
    if (value)
        values[state] = value;
    else
        values.erase(state);
}

} // namespace

id UIButton::imageForState(unsigned long long state) const
{
    return forState(m_images, state);
}

id UIButton::titleForState(unsigned long long state) const
{
    return forState(m_titles, state);
}

CGSize UIButton::intrinsicContentSize() const
{
    CGSize image = CGSizeZero;
    if (id current = imageForState(0); respondsToSelector(current, "size"))
        image = send<CGSize>(current, "size");
    CGSize title = CGSizeZero;
    if (auto text = titleForState(0).as<NSString>())
        title = UIFont::fontWithName(".SFUI-Regular", kTitleFontSize).as<UIFont>()->sizeOfText(text->utf8());
    return CGSizeMake(image.width + title.width, std::max(image.height, title.height));
}

void UIButton::declare()
{
    ClassBuilder("UIButton", "UIControl")
        .instancesOf<UIButton>()
        .classMethod("buttonWithType:", [](id cls, SEL, long long type) -> id {
            id button = send<id>(send<id>(cls, "alloc"), "initWithFrame:", CGRectZero);
            buttonOf(button).m_buttonType = type;
            return button;
        })
        .method("buttonType", [](id self, SEL) -> long long { return buttonOf(self).buttonType(); })
        .method("setImage:forState:", [](id self, SEL, id image, unsigned long long state) {
            setForState(buttonOf(self).m_images, image, state);
            buttonOf(self).setNeedsLayout();
            ScreenChanges::markChanged();
        })
        .method("imageForState:", [](id self, SEL, unsigned long long state) -> id { return buttonOf(self).imageForState(state); })
        .method("currentImage", [](id self, SEL) -> id { return buttonOf(self).imageForState(0); })
        .method("setTitle:forState:", [](id self, SEL, id title, unsigned long long state) {
            setForState(buttonOf(self).m_titles, title, state);
            buttonOf(self).setNeedsLayout();
            ScreenChanges::markChanged();
        })
        .method("titleForState:", [](id self, SEL, unsigned long long state) -> id { return buttonOf(self).titleForState(state); })
        .method("currentTitle", [](id self, SEL) -> id { return buttonOf(self).titleForState(0); })
        .method("imageEdgeInsets", [](id self, SEL) -> UIEdgeInsets { return buttonOf(self).imageEdgeInsets(); })
        .method("setImageEdgeInsets:", [](id self, SEL, UIEdgeInsets insets) { ScreenChanges::setDrawn(buttonOf(self).m_imageEdgeInsets, insets); })
        .method("intrinsicContentSize", [](id self, SEL) -> CGSize { return buttonOf(self).intrinsicContentSize(); });
}
