#include "UIColor.h"

#include "NSObjectValues.h"
#include "UIKitSupport.h"

#include <algorithm>
#include <cmath>

using UIKitSupport::objectAs;

namespace {

UIColor& colorOf(const id& self) { return objectAs<UIColor>(self, "UIColor"); }

double clampUnit(double value) { return std::isnan(value) ? 0 : std::clamp(value, 0.0, 1.0); }

struct NamedColor {
    const char* name;
    double red, green, blue, alpha;
};

// Light-appearance values of the system palette.
constexpr NamedColor namedColors[] = {
    { "clearColor", 0, 0, 0, 0 },
    { "blackColor", 0, 0, 0, 1 },
    { "whiteColor", 1, 1, 1, 1 },
    { "grayColor", 0.5, 0.5, 0.5, 1 },
    { "redColor", 1, 0, 0, 1 },
    { "greenColor", 0, 1, 0, 1 },
    { "blueColor", 0, 0, 1, 1 },
    { "labelColor", 0, 0, 0, 1 },
    { "secondaryLabelColor", 60 / 255.0, 60 / 255.0, 67 / 255.0, 0.6 },
    { "systemBackgroundColor", 1, 1, 1, 1 },
    { "systemGreenColor", 52 / 255.0, 199 / 255.0, 89 / 255.0, 1 },
    { "systemRedColor", 1, 59 / 255.0, 48 / 255.0, 1 },
    { "systemBlueColor", 0, 122 / 255.0, 1, 1 },
    { "systemGrayColor", 142 / 255.0, 142 / 255.0, 147 / 255.0, 1 },
};

} // namespace

// A CGColorRef: the components of the UIColor it came from.
class UIColor::CGColorValue : public UIColor { };

id UIColor::colorWithRGBA(double red, double green, double blue, double alpha, std::string name)
{
    id color = UIKitSupport::allocInit("UIColor");
    UIColor& object = colorOf(color);
    object.m_red = clampUnit(red);
    object.m_green = clampUnit(green);
    object.m_blue = clampUnit(blue);
    object.m_alpha = clampUnit(alpha);
    object.m_name = std::move(name);
    return color;
}

bool UIColor::isEqualToColor(const UIColor& other) const
{
    return m_red == other.m_red && m_green == other.m_green && m_blue == other.m_blue && m_alpha == other.m_alpha;
}

std::string UIColor::description() const
{
    std::string components = fmt::format("UIExtendedSRGBColorSpace {:g} {:g} {:g} {:g}", m_red, m_green, m_blue, m_alpha);
    return m_name.empty() ? components : fmt::format("{} ({})", components, m_name);
}

void UIColor::declare()
{
    ClassBuilder builder("UIColor", "NSObject");
    builder.instancesOf<UIColor>()
        .classMethod("colorWithRed:green:blue:alpha:", [](id, SEL, double r, double g, double b, double a) -> id { return colorWithRGBA(r, g, b, a); })
        .classMethod("colorWithWhite:alpha:", [](id, SEL, double white, double a) -> id { return colorWithRGBA(white, white, white, a); })
        .method("colorWithAlphaComponent:", [](id self, SEL, double a) -> id {
            UIColor& color = colorOf(self);
            return colorWithRGBA(color.red(), color.green(), color.blue(), a);
        })
        .method("isEqual:", [](id self, SEL, id other) -> bool {
            auto otherColor = other.as<UIColor>();
            return otherColor && colorOf(self).isEqualToColor(*otherColor);
        })
        .method("description", [](id self, SEL) -> id { return NSString::string(colorOf(self).description()); })
        .method("CGColor", [](id self, SEL) -> id {
            UIColor& color = colorOf(self);
            id made = send<id>(UIKitSupport::classNamed("CGColor"), "alloc");
            UIColor& value = colorOf(made);
            value.m_red = color.m_red;
            value.m_green = color.m_green;
            value.m_blue = color.m_blue;
            value.m_alpha = color.m_alpha;
            value.m_name = color.m_name;
            return made;
        });
    ClassBuilder("CGColor", "NSObject")
        .instancesOf<CGColorValue>()
        .method("isEqual:", [](id self, SEL, id other) -> bool {
            auto otherColor = other.as<UIColor>();
            return otherColor && colorOf(self).isEqualToColor(*otherColor);
        })
        .method("description", [](id self, SEL) -> id { return NSString::string(colorOf(self).description()); });
    // Each named colour is a class method of its own, as on the device; the table is
    // walked at registration, so the lambdas find their entry by selector.
    for (const NamedColor& named : namedColors) {
        builder.classMethod(named.name, [](id, SEL selector) -> id {
            for (const NamedColor& entry : namedColors) {
                if (std::string_view(entry.name) == sel_getName(selector))
                    return colorWithRGBA(entry.red, entry.green, entry.blue, entry.alpha, entry.name);
            }
            return nil;
        });
    }
}
