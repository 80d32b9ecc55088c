#include "SettingsEditor.h"

#include "DeviceRoot.h"
#include "KavlorSchema.h"
#include "KavlorctlError.h"
#include "TypedText.h"

#include <fmt/format.h>

SettingsEditor::SettingsEditor()
    : m_preferences(HBPreferences::preferencesForIdentifier(KavlorSchema::kSettingsDomain))
{
    if (!m_preferences)
        throw KavlorctlError(fmt::format("cannot open the settings domain {}", KavlorSchema::kSettingsDomain));
}

std::string SettingsEditor::settingsFilePath() const
{
    return devicePath(fmt::format("/var/mobile/Library/Preferences/{}.plist", KavlorSchema::kSettingsDomain));
}

void SettingsEditor::checkKey(const std::string& key) const
{
    if (key.empty())
        throw KavlorctlError("the settings key must not be empty");
    if (auto problem = TypedText::problem(key); !problem.empty())
        throw KavlorctlError("the settings key " + problem);
}

void SettingsEditor::set(const std::string& key, const std::string& text, std::optional<SettingType> requested) const
{
    checkKey(key);
    id value = SettingValue::parse(key, text, requested);
    const auto& preferences = m_preferences;
    if (auto number = value.as<NSNumber>(); number && number->kind() == NSNumber::Kind::Boolean)
        preferences->setBool(number->boolValue(), key);
    else
        preferences->setObject(value, key);
    // HBPreferences reports a failed write on standard error and carries on; a command
    // must not claim success, so the value is read back from the file.
    if (!isEqual(preferences->objectForKey(key), value))
        throw KavlorctlError(fmt::format("could not store {} in {}", key, settingsFilePath()));
}

std::optional<std::string> SettingsEditor::get(const std::string& key) const
{
    checkKey(key);
    id value = m_preferences->objectForKey(key);
    if (!value)
        return std::nullopt;
    return SettingValue::format(value);
}

void SettingsEditor::printAll(std::ostream& out) const
{
    auto settings = m_preferences->dictionaryRepresentation();
    if (!settings)
        return;
    for (const auto& [key, value] : settings->entries())
        out << key->utf8() << " = " << SettingValue::format(value) << "\n";
}

bool SettingsEditor::unset(const std::string& key) const
{
    checkKey(key);
    const auto& preferences = m_preferences;
    if (!preferences->objectForKey(key))
        return false;
    preferences->removeObjectForKey(key);
    if (preferences->objectForKey(key))
        throw KavlorctlError(fmt::format("could not remove {} from {}", key, settingsFilePath()));
    return true;
}
