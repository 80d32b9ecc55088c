#include "UILabel.h"

#include "ScreenChanges.h"
#include "UIFont.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

UILabel& labelOf(const id& self) { return objectAs<UILabel>(self, "UILabel"); }

constexpr double defaultFontSize = 17;

} // namespace

std::string UILabel::textString() const
{
    return UIKitSupport::stringValue(m_text);
}

id UILabel::textColor()
{
    if (!m_textColor)
        m_textColor = send<id>(UIKitSupport::classNamed("UIColor"), "labelColor");
    return m_textColor;
}

id UILabel::font()
{
    if (!m_font)
        m_font = UIFont::systemFontOfSize(defaultFontSize);
    return m_font;
}

CGSize UILabel::intrinsicContentSize()
{
    auto measured = font().as<UIFont>();
    return measured ? measured->sizeOfText(textString(), m_numberOfLines) : CGSizeZero;
}

void UILabel::declare()
{
    ClassBuilder("UILabel", "UIView")
        .instancesOf<UILabel>()
        .method("text", [](id self, SEL) -> id { return labelOf(self).m_text; })
        .method("setText:", [](id self, SEL, id text) {
            ScreenChanges::setDrawn(labelOf(self).m_text, text);
            labelOf(self).setNeedsLayout();
        })
        .method("intrinsicContentSize", [](id self, SEL) -> CGSize { return labelOf(self).intrinsicContentSize(); })
        .method("numberOfLines", [](id self, SEL) -> long long { return labelOf(self).m_numberOfLines; })
        .method("setNumberOfLines:", [](id self, SEL, long long lines) { ScreenChanges::setDrawn(labelOf(self).m_numberOfLines, lines); })
        .method("textColor", [](id self, SEL) -> id { return labelOf(self).textColor(); })
        .method("setTextColor:", [](id self, SEL, id color) { ScreenChanges::setDrawn(labelOf(self).m_textColor, color); })
        .method("font", [](id self, SEL) -> id { return labelOf(self).font(); })
        .method("setFont:", [](id self, SEL, id font) { ScreenChanges::setDrawn(labelOf(self).m_font, font); })
        .method("textAlignment", [](id self, SEL) -> long long { return labelOf(self).m_textAlignment; })
        .method("setTextAlignment:", [](id self, SEL, long long alignment) {
            ScreenChanges::setDrawn(labelOf(self).m_textAlignment,
                alignment >= 0 && alignment <= 4 ? static_cast<NSTextAlignment>(alignment) : NSTextAlignmentNatural);
        });
}
