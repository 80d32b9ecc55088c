#include "UIFont.h"

#include "NSObjectValues.h"
#include "UIKitSupport.h"

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
