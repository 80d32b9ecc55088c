#pragma once
// The panel's four colours follow the user's custom colours when they are on, else the
// system appearance. Their settings object is made when the library loads.
//
// The colours are class methods that the library adds to UIColor (kavBackgroundColor,
// kavFontColor, kavButtonColor, kavImageColor). Each request reads the settings and the
// appearance again: nothing is cached, so the panel picks up a change whenever it asks.
// The choices themselves are the pure functions below.

#include "HBPreferences.h"

#include <string>
#include <string_view>

extern Id<HBPreferences> colourSettings;
extern bool colourCustomChromaEnabled; // toggleCustomChroma, bound in colourSettings

struct RGBA {
    double red { 0 };
    double green { 0 };
    double blue { 0 };
    double alpha { 0 };
    bool operator==(const RGBA&) const = default;
};

// A slice of `count` (1 or 2) UTF-16 code units at `start`, read as a hexadecimal number
// and divided by 255. A slice holding anything but hexadecimal digits (or reaching past
// the end) reads as 0.
double hexComponent(std::u16string_view text, size_t start, size_t count);
// "RGB", "RGBA", "RRGGBB" or "RRGGBBAA" (either case; no "#", nothing trimmed); any
// other length is transparent black. The text is UTF-8; lengths count UTF-16 units.
RGBA colorFromHexString(std::string_view text);

enum class ThemeColour { Background, Font, Button, Image };
enum class Appearance { Light, Dark };

// A colour as the panel is given it: components, or one of the system's named colours
// ("labelColor", "blackColor", "whiteColor"), the class method that makes it.
struct ThemeColourChoice {
    RGBA components;
    const char* systemColour { nullptr };
};

// What a request needs to read, so that it reads nothing else: the stored hex string of
// the colour's key, and the appearance.
bool themeColourReadsStoredHex(ThemeColour, bool customColoursOn);
bool themeColourReadsAppearance(ThemeColour, bool customColoursOn, bool atLeastIOS13);
// The settings key of the colour's custom value.
const char* themeColourKey(ThemeColour);
// `storedHex` is the key's string ("FFFFFF" when it is absent); `appearance` counts
// only where themeColourReadsAppearance says so.
ThemeColourChoice chooseThemeColour(ThemeColour, bool customColoursOn, bool atLeastIOS13, Appearance, std::string_view storedHex);

// The colour as a UIColor (a new object each time), read from the colour settings, the
// system version and the current trait collection now.
id themeColour(ThemeColour);

// Adds the four class methods to UIColor (the library's categories).
void declareThemeColourCategories();
