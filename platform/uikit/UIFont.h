#pragma once
// UIFont: a font name and a point size (fontWithName:size:, systemFontOfSize:,
// boldSystemFontOfSize:). No glyphs are drawn here; the font is what a label was given.

#include "ClassBuilder.h"

#include <string>

class UIFont : public objc_object {
public:
    static void declare();
    static id fontWithName(std::string name, double pointSize);
    static id systemFontOfSize(double pointSize);

    const std::string& fontName() const { return m_fontName; }
    double pointSize() const { return m_pointSize; }

private:
    std::string m_fontName;
    double m_pointSize { 0 };
};
