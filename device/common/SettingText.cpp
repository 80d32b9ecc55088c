#include "SettingText.h"

#include "NSObjectValues.h"

#include <fmt/format.h>

std::string settingText(const id& value, BooleanWords words)
{
    if (auto number = value.as<NSNumber>()) {
        switch (number->kind()) {
        case NSNumber::Kind::Boolean:
            if (words == BooleanWords::TrueFalse)
                return number->boolValue() ? "true" : "false";
            return number->boolValue() ? "YES" : "NO";
        case NSNumber::Kind::Integer:
            return std::to_string(number->integerValue());
        case NSNumber::Kind::Real:
            return fmt::format("{}", number->doubleValue());
        }
    }
    if (auto text = value.as<NSString>())
        return text->utf8();
    if (auto data = value.as<NSData>())
        return fmt::format("<{} bytes>", data->length());
    return describe(value);
}
