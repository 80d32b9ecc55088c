#include "SettingValue.h"

#include "KavlorctlError.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <fmt/format.h>

namespace SettingValue {

namespace {

struct KnownKey {
    const char* key;
    SettingType type;
    bool isColour;
};

constexpr std::array<KnownKey, 11> kKnownKeys { {
    { "toggleKavlor", SettingType::Boolean, false },
    { "isKavlorActive", SettingType::Boolean, false },
    { "hideLSAccount", SettingType::Boolean, false },
    { "showImportantAlert", SettingType::Boolean, false },
    { "toggleCustomChroma", SettingType::Boolean, false },
    { "activeUser", SettingType::String, false },
    { "adminPasscode", SettingType::String, false },
    { "backgroundChroma", SettingType::String, true },
    { "fontChroma", SettingType::String, true },
    { "buttonChroma", SettingType::String, true },
    { "imageChroma", SettingType::String, true },
} };

const KnownKey* findKnownKey(std::string_view key)
{
    auto found = std::find_if(kKnownKeys.begin(), kKnownKeys.end(), [&](const KnownKey& known) { return key == known.key; });
    return found == kKnownKeys.end() ? nullptr : &*found;
}

id parseBoolean(std::string_view key, const std::string& text)
{
    if (text == "true" || text == "false")
        return NSNumber::numberWithBool(text == "true");
    throw KavlorctlError(fmt::format("'{}' is not a boolean for {}: give true or false", text, key));
}

id parseInteger(std::string_view key, const std::string& text)
{
    long long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        throw KavlorctlError(fmt::format("'{}' is not an integer for {}", text, key));
    return NSNumber::numberWithInteger(value);
}

// The library reads colours of 3, 4, 6 or 8 hex digits; any other text gives transparent
// black there, which is never what was meant.
void checkColour(std::string_view key, const std::string& text)
{
    bool hexDigits = std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
    bool usableLength = text.size() == 3 || text.size() == 4 || text.size() == 6 || text.size() == 8;
    if (!hexDigits || !usableLength)
        throw KavlorctlError(fmt::format("'{}' is not a colour for {}: give 3, 4, 6 or 8 hex digits (RGB, RGBA, RRGGBB, RRGGBBAA)", text, key));
}

} // namespace

SettingType parseTypeName(std::string_view name)
{
    if (name == "bool" || name == "boolean")
        return SettingType::Boolean;
    if (name == "int" || name == "integer")
        return SettingType::Integer;
    if (name == "string")
        return SettingType::String;
    throw KavlorctlError(fmt::format("unknown value type '{}' (bool, int or string)", name));
}

const char* typeName(SettingType type)
{
    switch (type) {
    case SettingType::Boolean:
        return "a boolean";
    case SettingType::Integer:
        return "an integer";
    case SettingType::String:
        return "a string";
    }
    return "a value";
}

std::optional<SettingType> knownType(std::string_view key)
{
    const KnownKey* known = findKnownKey(key);
    return known ? std::optional(known->type) : std::nullopt;
}

id parse(std::string_view key, const std::string& text, std::optional<SettingType> requested)
{
    const KnownKey* known = findKnownKey(key);
    if (known && requested && *requested != known->type)
        throw KavlorctlError(fmt::format("{} holds {}; it cannot be stored as {}", key, typeName(known->type), typeName(*requested)));

    SettingType type = known ? known->type
        : requested      ? *requested
        : (text == "true" || text == "false") ? SettingType::Boolean
                                              : SettingType::String;
    switch (type) {
    case SettingType::Boolean:
        return parseBoolean(key, text);
    case SettingType::Integer:
        return parseInteger(key, text);
    case SettingType::String:
        if (known && known->isColour)
            checkColour(key, text);
        return NSString::string(text);
    }
    return nil;
}

std::string format(const id& value)
{
    if (auto number = value.as<NSNumber>()) {
        switch (number->kind()) {
        case NSNumber::Kind::Boolean:
            return number->boolValue() ? "true" : "false";
        case NSNumber::Kind::Integer:
            return std::to_string(number->integerValue());
        case NSNumber::Kind::Real:
            return fmt::format("{}", number->doubleValue());
        }
    }
    if (auto text = value.as<NSString>())
        return text->utf8();
    if (auto data = value.as<NSData>())
        return fmt::format("<data, {} bytes>", data->length());
    return describe(value);
}

} // namespace SettingValue
