#pragma once
// How `set` turns its text into a stored value and `get` a stored value into text.
//
// The keys the library reads have fixed types, and a value of another type would be read
// as absent (a boolean stored as a string reads NO), so for them the type is enforced:
//   booleans  toggleKavlor isKavlorActive hideLSAccount showImportantAlert toggleCustomChroma
//   strings   activeUser adminPasscode
//   colours   backgroundChroma fontChroma buttonChroma imageChroma: 3, 4, 6 or 8 hex digits
// Any other key is the preference bundle's own: "true" and "false" are booleans, anything
// else a string, unless a type is asked for (--int, --string, --type).

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

// The type the library expects under `key`, when it is one of the library's keys.
std::optional<SettingType> knownType(std::string_view key);

// The value to store. `requested` is the type asked for on the command line, if any.
// Throws KavlorctlError naming the key and the text when they do not fit.
id parse(std::string_view key, const std::string& text, std::optional<SettingType> requested);

// One line of text for a stored value: true/false, the integer, the string itself.
std::string format(const id& value);

} // namespace SettingValue
