#include "UIFont.h"

#include "NSObjectValues.h"
#include "UIKitSupport.h"

#include <algorithm>
#include <cmath>

using UIKitSupport::objectAs;

namespace {

UIFont& fontOf(const id& self) { return objectAs<UIFont>(self, "UIFont"); }

constexpr const char* systemFontName = ".SFUI-Regular";
constexpr const char* boldSystemFontName = ".SFUI-Semibold";

} // namespace

id UIFont::fontWithName(std::string name, double pointSize)
{
    id font = UIKitSupport::allocInit("UIFont");
    fontOf(font).m_fontName = std::move(name);
    fontOf(font).m_pointSize = pointSize;
    return font;
}

id UIFont::systemFontOfSize(double pointSize)
{
    return fontWithName(systemFontName, pointSize);
}

bool UIFont::isBold() const
{
    return m_fontName.find("Bold") != std::string::npos || m_fontName.find("Semibold") != std::string::npos;
}

CGSize UIFont::sizeOfText(const std::string& utf8, long long maximumLines) const
{
    if (utf8.empty())
        return CGSizeZero;
    long long lines = 1;
    size_t longest = 0, current = 0;
    for (unsigned char byte : utf8) {
        if (byte == '\n') {
            ++lines;
            current = 0;
            continue;
        }
        if ((byte & 0xC0) != 0x80) // count characters, not the continuation bytes of UTF-8
            longest = std::max(longest, ++current);
    }
    if (maximumLines > 0)
        lines = std::min(lines, maximumLines);
    double characterWidth = m_pointSize * (isBold() ? 0.55 : 0.5);
    return CGSizeMake(std::ceil(static_cast<double>(longest) * characterWidth - 1e-9), std::ceil(static_cast<double>(lines) * m_pointSize * 1.2 - 1e-9));
}

void UIFont::declare()
{
    ClassBuilder("UIFont", "NSObject")
        .instancesOf<UIFont>()
        .classMethod("fontWithName:size:", [](id, SEL, id name, double size) -> id {
            // As on the device, a font that cannot be named is no font.
            auto text = name.as<NSString>();
            return text && text->length() ? fontWithName(text->utf8(), size) : nil;
        })
        .classMethod("systemFontOfSize:", [](id, SEL, double size) -> id { return systemFontOfSize(size); })
        .classMethod("boldSystemFontOfSize:", [](id, SEL, double size) -> id { return fontWithName(boldSystemFontName, size); })
        .method("fontName", [](id self, SEL) -> id { return NSString::string(fontOf(self).fontName()); })
        .method("pointSize", [](id self, SEL) -> double { return fontOf(self).pointSize(); });
}
