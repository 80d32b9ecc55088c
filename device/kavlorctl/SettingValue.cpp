#include "SettingValue.h"

#include "KavlorctlError.h"
#include "SettingText.h"
#include "TypedText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <fmt/format.h>

namespace SettingValue {

namespace {

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

id parse(std::string_view key, const std::string& text, std::optional<SettingType> requested)
{
    // A settings file holds UTF-8 strings only; a value that is not would leave a file the
    // library cannot read. (Line breaks and tabs are kept: a string setting may hold them.)
    if (!TypedText::isUTF8(text))
        throw KavlorctlError(fmt::format("the VALUE for {} is not UTF-8 text", key));
    SettingType type = requested ? *requested
        : (text == "true" || text == "false") ? SettingType::Boolean
                                              : SettingType::String;
    switch (type) {
    case SettingType::Boolean:
        return parseBoolean(key, text);
    case SettingType::Integer:
        return parseInteger(key, text);
    case SettingType::String:
        return NSString::string(text);
    }
    return nil;
}

std::string format(const id& value)
{
    return settingText(value, BooleanWords::TrueFalse);
}

} // namespace SettingValue
