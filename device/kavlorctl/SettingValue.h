#pragma once
// How `set` turns its text into a stored value and `get` a stored value into text:
// "true" and "false" are booleans, anything else a string, unless a type is asked for
// (--int, --string, --type). Any key may hold any of them, so that a person can store
// exactly what they want to try (a colour of the wrong length, a name that is a number).

#include "NSObjectValues.h"

#include <optional>
#include <string>
#include <string_view>

enum class SettingType { Boolean, Integer, String };

namespace SettingValue {

// "bool", "int" or "string" (also "boolean", "integer"); throws KavlorctlError naming
// anything else.
SettingType parseTypeName(std::string_view name);
const char* typeName(SettingType type);

// The value to store. `requested` is the type asked for on the command line, if any.
// Throws KavlorctlError naming the key and the text when they do not fit.
id parse(std::string_view key, const std::string& text, std::optional<SettingType> requested);

// One line of text for a stored value: true/false, the integer, the string itself.
std::string format(const id& value);

} // namespace SettingValue
