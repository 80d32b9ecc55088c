#include "SettingValues.h"

#include "KavlorSchema.h"

#include "NSObjectValues.h"
#include "SettingText.h"
#include "SettingsFile.h"

#include <fmt/format.h>

#include <cmath>

std::vector<std::pair<std::string, id>> readKavlorSettings()
{
    std::vector<std::pair<std::string, id>> entries;
    auto domain = SettingsFile(KavlorSchema::kSettingsDomain).read();
    if (!domain)
        return entries;
    for (const auto& [key, value] : domain->entries())
        entries.emplace_back(key->utf8(), value);
    return entries;
}

id readKavlorSetting(const std::string& key)
{
    auto domain = SettingsFile(KavlorSchema::kSettingsDomain).read();
    return domain ? domain->objectForKey(key) : nil;
}

std::string renderSettingValue(const id& value)
{
    return settingText(value, BooleanWords::YesNo);
}

std::string renderSettingForPerson(const id& value)
{
    if (auto text = value.as<NSString>())
        return "\"" + text->utf8() + "\"";
    return renderSettingValue(value);
}

bool settingMatches(const id& value, const std::string& expected)
{
    if (!value)
        return false;
    if (auto number = value.as<NSNumber>()) {
        if (number->kind() == NSNumber::Kind::Boolean) {
            bool wanted;
            if (expected == "YES" || expected == "true" || expected == "1")
                wanted = true;
            else if (expected == "NO" || expected == "false" || expected == "0")
                wanted = false;
            else
                return false;
            return number->boolValue() == wanted;
        }
        try {
            size_t used = 0;
            double wanted = std::stod(expected, &used);
            return used == expected.size() && number->doubleValue() == wanted;
        } catch (...) {
            return false;
        }
    }
    return renderSettingValue(value) == expected;
}
