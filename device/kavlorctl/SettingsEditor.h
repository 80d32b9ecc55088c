#pragma once
// `set`, `get` and `unset`: the settings domain "com.Quennic.KavlorPrefs" read and written
// through HBPreferences, as the preference bundle does, so every process of the device
// that holds the domain sees the change.

#include "HBPreferences.h"
#include "SettingValue.h"

#include <optional>
#include <ostream>
#include <string>

class SettingsEditor {
public:
    SettingsEditor();

    // Stores the value; throws KavlorctlError when the text does not fit the key or the
    // settings file could not be written.
    void set(const std::string& key, const std::string& text, std::optional<SettingType> requested) const;
    // The stored value as text, or nothing when the key is absent.
    std::optional<std::string> get(const std::string& key) const;
    // Every stored key, one "key = value" line each, in the file's order.
    void printAll(std::ostream& out) const;
    // Removes the key; answers whether it was there.
    bool unset(const std::string& key) const;

private:
    void checkKey(const std::string& key) const;
    std::string settingsFilePath() const;

    Id<HBPreferences> m_preferences;
};
