#pragma once
// One settings domain as this process sees it: its file, and every live HBPreferences
// object made for it here. A write through any of those objects changes the file, brings
// the bound variables of all of them up to date at once, and posts the domain's Darwin
// notification, "<identifier>/ReloadPrefs", so that other processes do the same when it
// reaches their main run loop.
//
// The domain observes that notification from its first bound variable on (a delivery
// re-reads the file and refreshes every bound variable of the domain in this process).
// Only bound variables need it, since reads go to the file; so a process that only reads
// and writes, a command-line tool that never runs its run loop, never listens, and
// never leaves posters waiting on a queue it does not drain.
//
// Bound variables are written on the main thread only: a write made on another thread
// has the refresh queued to the main run loop.
//
// Domains live for the life of the process (observers are never removed).

#include "SettingsFile.h"

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class HBPreferences;

class SettingsDomain {
public:
    // The domain of this process for `identifier` (made, and its notification observed,
    // on first use). The identifier must satisfy SettingsFile::isValidIdentifier.
    static SettingsDomain& named(const std::string& identifier);
    // The Darwin notification posted after every write to the domain.
    static std::string changeNotificationName(std::string_view identifier);

    const std::string& identifier() const { return m_file.identifier(); }
    const SettingsFile& file() const { return m_file; }

    void attach(HBPreferences*);
    void detach(HBPreferences*);

    // Starts observing the change notification (once). Called before a binding is filled,
    // so that no write after the filling read can go unnoticed.
    void observeChanges();

    // Stores `value` under `key` (nil removes it), refreshes this process's bound
    // variables, posts the change notification and traces the write. Answers whether the
    // file was written.
    bool write(std::string_view key, const id& value);

    // Reads the file afresh and brings every bound variable of the domain up to date.
    void reloadBindings();

    // Runs `apply` with the domain's objects frozen (no attach or detach meanwhile); used
    // to fill a new binding without racing a refresh.
    template<class F>
    void withObjectsLocked(F apply)
    {
        std::lock_guard lock(m_mutex);
        apply();
    }

private:
    explicit SettingsDomain(std::string identifier);
    void postChangeNotification() const;
    void applyToBindings(const Id<NSDictionary>& settings);

    SettingsFile m_file;
    std::mutex m_mutex;
    std::vector<HBPreferences*> m_objects;
    std::once_flag m_observing;
};
