#pragma once
// Cephei's HBPreferences: a settings object for one domain, shared by every object and
// every process that names the same identifier. The store is the domain's property-list
// file (SettingsFile); the in-process fan-out and the change notification between
// processes are SettingsDomain's.
//
// - registerBool / registerObject fill the variable at once with the stored value, or the
//   default when the key is absent, and keep it current whenever the domain changes
//   afterwards: at once for a write made in this process (by any object of the domain),
//   and when the Darwin change notification reaches the main run loop for a write made
//   by another process.
// - boolForKey / objectForKey read the file at that moment, so another process's write is
//   seen by the next read.
// - Booleans are read from numbers only: a stored string, date or anything else under a
//   boolean key counts as absent (NO for boolForKey, the default for a bound boolean).
//   Any number reads as its truth value (0 is NO).
//
// The class is registered in the runtime as "HBPreferences" with the same operations
// under their Objective-C selectors, so that code written against the device reaches it
// by message send. Settings objects are meant to live for the process's life; one that is
// released anyway stops updating its variables.

#include "NSObjectValues.h"

#include <string>
#include <string_view>
#include <vector>

class SettingsDomain;

class HBPreferences : public objc_object {
public:
    // What alloc makes: an object for no domain yet (reads answer nothing, writes are refused).
    HBPreferences();
    ~HBPreferences() override;
    static Class cls();

    static Id<HBPreferences> alloc();
    // A new settings object for the domain; nil (with a message on standard error) when
    // the identifier cannot name a domain (empty, or containing '/').
    static Id<HBPreferences> preferencesForIdentifier(std::string_view identifier);
    // initWithIdentifier: answers this object, or nil when the identifier is refused.
    Id<HBPreferences> initWithIdentifier(std::string_view identifier);

    // The domain's identifier; empty before initWithIdentifier.
    std::string identifier() const;

    void registerBool(bool* variable, bool defaultValue, std::string_view key);
    void registerObject(id* variable, const id& defaultValue, std::string_view key);

    bool boolForKey(std::string_view key) const;
    id objectForKey(std::string_view key) const;
    Id<NSDictionary> dictionaryRepresentation() const;

    // setObject with nil removes the key, as removeObjectForKey does.
    void setObject(const id& value, std::string_view key);
    void setBool(bool value, std::string_view key);
    void removeObjectForKey(std::string_view key);

    // Brings this object's bound variables in line with `settings` (the whole domain).
    // Called by the domain, on the main thread, with its objects locked.
    void applySettings(const NSDictionary& settings);

    // How a stored value reads as a boolean: numbers by their truth value, anything else
    // (absent included) as `absentValue`.
    static bool booleanFromStored(const id& stored, bool absentValue);

private:
    struct BoolBinding {
        bool* variable;
        bool defaultValue;
        std::string key;
    };
    struct ObjectBinding {
        id* variable;
        id defaultValue;
        std::string key;
    };

    bool write(std::string_view key, const id& value);
    void traceBinding(std::string_view key) const;

    SettingsDomain* m_domain { nullptr };
    std::vector<BoolBinding> m_boolBindings;
    std::vector<ObjectBinding> m_objectBindings;
};
