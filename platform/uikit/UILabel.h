#pragma once
// UILabel: a view showing text. Defaults as on the device: one line, the label colour,
// the 17-point system font, natural alignment (NSTextAlignment: 0 left, 1 centre,
// 2 right, 3 justified, 4 natural). Its intrinsic content size is its text measured in
// its font (UIFont's fixed metric), at most numberOfLines lines (0: any).

#include "UIView.h"

enum NSTextAlignment : long long {
    NSTextAlignmentLeft = 0,
    NSTextAlignmentCenter = 1,
    NSTextAlignmentRight = 2,
    NSTextAlignmentJustified = 3,
    NSTextAlignmentNatural = 4,
};

class UILabel : public UIView {
public:
    static void declare();

    const id& text() const { return m_text; }
    std::string textString() const;
    long long numberOfLines() const { return m_numberOfLines; }
    // Made on first use when none was set (the label colour, the system font).
    id textColor();
    id font();
    NSTextAlignment textAlignment() const { return m_textAlignment; }
    CGSize intrinsicContentSize();

private:
    id m_text;
    long long m_numberOfLines { 1 };
    id m_textColor;
    id m_font;
    NSTextAlignment m_textAlignment { NSTextAlignmentNatural };
};
