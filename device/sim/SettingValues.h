#pragma once
// The settings domain com.Quennic.KavlorPrefs as the scenario runner shows and checks it.

#include "Object.h"

#include <string>
#include <utility>
#include <vector>


// The domain's keys and values in file order (empty when there is no file).
std::vector<std::pair<std::string, id>> readKavlorSettings();
// The stored value of one key, or nil.
id readKavlorSetting(const std::string& key);

// YES / NO for booleans, decimal numbers, strings as they are, "<N bytes>" for data,
// the property-list style for collections.
std::string renderSettingValue(const id& value);
// The same, with strings in double quotes (so "YES" the string and YES the boolean differ).
std::string renderSettingForPerson(const id& value);
// Whether `value` is what a script wrote: YES/NO/true/false for a boolean, a number for a
// number, the text for a string.
bool settingMatches(const id& value, const std::string& expected);
