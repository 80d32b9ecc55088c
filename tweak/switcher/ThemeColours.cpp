#include "ThemeColours.h"

#include "MainInitialiser.h"
#include "NSProcessInfo.h"
#include "ProfileStore.h"

Id<HBPreferences> colourSettings;
bool colourCustomChromaEnabled;

namespace {

constexpr const char* kAbsentColour = "FFFFFF";

int hexDigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// UTF-8 to UTF-16, as NSString counts and slices text. Bytes that are not UTF-8 become
// U+FFFD, which no hex slice accepts.
std::u16string toUTF16(std::string_view text)
{
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = true;
        for (size_t k = 1; k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            valid = valid && (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

// One character written twice ("A" reads as "AA").
double doubledComponent(std::u16string_view text, size_t index)
{
    std::u16string doubled { text[index], text[index] };
    return hexComponent(doubled, 0, 2);
}

bool systemIsAtLeastIOS13()
{
    return NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion({ 13, 0, 0 });
}

Appearance currentAppearance()
{
    id traits = send<id>(objc_getClass("UITraitCollection"), "currentTraitCollection");
    return send<long long>(traits, "userInterfaceStyle") == 2 ? Appearance::Dark : Appearance::Light;
}

std::string storedHex(ThemeColour which)
{
    id stored = colourSettings ? colourSettings->objectForKey(themeColourKey(which)) : nil;
    // A value that is not a string is treated like an absent one.
    auto text = stored.as<NSString>();
    return text ? text->utf8() : std::string(kAbsentColour);
}

} // namespace

double hexComponent(std::u16string_view text, size_t start, size_t count)
{
    if (start > text.size() || count > text.size() - start || count == 0)
        return 0.0;
    unsigned value = 0;
    for (char16_t c : text.substr(start, count)) {
        int digit = hexDigitValue(c);
        if (digit < 0)
            return 0.0;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<double>(value) / 255.0;
}

RGBA colorFromHexString(std::string_view utf8)
{
    std::u16string text = toUTF16(utf8);
    switch (text.size()) {
    case 3:
        return { doubledComponent(text, 0), doubledComponent(text, 1), doubledComponent(text, 2), 1.0 };
    case 4:
        return { doubledComponent(text, 0), doubledComponent(text, 1), doubledComponent(text, 2), doubledComponent(text, 3) };
    case 6:
        return { hexComponent(text, 0, 2), hexComponent(text, 2, 2), hexComponent(text, 4, 2), 1.0 };
    case 8:
        return { hexComponent(text, 0, 2), hexComponent(text, 2, 2), hexComponent(text, 4, 2), hexComponent(text, 6, 2) };
    default:
        return { 0.0, 0.0, 0.0, 0.0 };
    }
}

const char* themeColourKey(ThemeColour which)
{
    switch (which) {
    case ThemeColour::Background: return "backgroundChroma";
    case ThemeColour::Font: return "fontChroma";
    case ThemeColour::Button: return "buttonChroma";
    case ThemeColour::Image: return "imageChroma";
    }
    return "";
}

bool themeColourReadsStoredHex(ThemeColour which, bool customColoursOn)
{
    // The background is always the stored colour: its only user asks for it only when
    // custom colours are on.
    return which == ThemeColour::Background || customColoursOn;
}

bool themeColourReadsAppearance(ThemeColour which, bool customColoursOn, bool atLeastIOS13)
{
    // The font colour is the label colour, which adapts to the appearance by itself.
    return !themeColourReadsStoredHex(which, customColoursOn) && atLeastIOS13 && which != ThemeColour::Font;
}

ThemeColourChoice chooseThemeColour(ThemeColour which, bool customColoursOn, bool atLeastIOS13, Appearance appearance, std::string_view storedHex)
{
    if (themeColourReadsStoredHex(which, customColoursOn))
        return { colorFromHexString(storedHex) };
    bool dark = themeColourReadsAppearance(which, customColoursOn, atLeastIOS13) && appearance == Appearance::Dark;
    switch (which) {
    case ThemeColour::Font:
        return { {}, atLeastIOS13 ? "labelColor" : "blackColor" };
    case ThemeColour::Button:
        return { dark ? RGBA { 0.18, 0.18, 0.19, 0.4 } : RGBA { 1.0, 1.0, 1.0, 0.4 } };
    case ThemeColour::Image:
        return dark ? ThemeColourChoice { {}, "whiteColor" } : ThemeColourChoice { { 0.9, 0.9, 0.92, 1.0 } };
    case ThemeColour::Background:
        break;
    }
    return {};
}

id themeColour(ThemeColour which)
{
    bool custom = colourCustomChromaEnabled;
    bool atLeastIOS13 = themeColourReadsStoredHex(which, custom) ? false : systemIsAtLeastIOS13();
    Appearance appearance = themeColourReadsAppearance(which, custom, atLeastIOS13) ? currentAppearance() : Appearance::Light;
    std::string hex = themeColourReadsStoredHex(which, custom) ? storedHex(which) : std::string();
    ThemeColourChoice choice = chooseThemeColour(which, custom, atLeastIOS13, appearance, hex);
    Class colourClass = objc_getClass("UIColor");
    if (choice.systemColour)
        return send<id>(colourClass, choice.systemColour);
    const RGBA& c = choice.components;
    return send<id>(colourClass, "colorWithRed:green:blue:alpha:", c.red, c.green, c.blue, c.alpha);
}

void declareThemeColourCategories()
{
    ClassBuilder::extend(objc_getClass("UIColor"))
        .classMethod("kavBackgroundColor", [](id, SEL) -> id { return themeColour(ThemeColour::Background); })
        .classMethod("kavFontColor", [](id, SEL) -> id { return themeColour(ThemeColour::Font); })
        .classMethod("kavButtonColor", [](id, SEL) -> id { return themeColour(ThemeColour::Button); })
        .classMethod("kavImageColor", [](id, SEL) -> id { return themeColour(ThemeColour::Image); });
}

void colourSettingsInitialiser()
{
    colourSettings = HBPreferences::alloc()->initWithIdentifier(KavlorSchema::kSettingsDomain);
    colourSettings->registerBool(&colourCustomChromaEnabled, NO, KavlorSchema::Key::toggleCustomChroma);
}
