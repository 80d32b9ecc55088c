#pragma once
// UIFont: a font name and a point size (fontWithName:size:, systemFontOfSize:,
// boldSystemFontOfSize:). No glyphs are drawn here; the font is what a label was given.
//
// Text is measured with a fixed metric (what labels and buttons take as their intrinsic
// size): every character is 0.5 of the point size wide (0.55 in a bold font, one whose
// name holds "Bold" or "Semibold"), every line 1.2 of the point size high; a text has as
// many lines as its line feeds make, and is as wide as its longest line; both sizes are
// rounded up to whole points. The empty text measures 0 by 0.

#include "ClassBuilder.h"
#include "CoreGraphics.h"

#include <string>

class UIFont : public objc_object {
public:
    static void declare();
    static id fontWithName(std::string name, double pointSize);
    static id systemFontOfSize(double pointSize);

    const std::string& fontName() const { return m_fontName; }
    double pointSize() const { return m_pointSize; }
    bool isBold() const;
    // `maximumLines` 0 means no limit.
    CGSize sizeOfText(const std::string& utf8, long long maximumLines = 0) const;

private:
    std::string m_fontName;
    double m_pointSize { 0 };
};
