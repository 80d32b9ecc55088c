#pragma once
// Where posters find the processes that observe Darwin notifications: one folder per
// device root, devicePath("/var/run/darwin-notify"), holding one empty-ish file per
// observing process. The file's name "<pid>.<16 hex digits of a random token>" is also
// the name of that process's socket in the abstract unix namespace
// ("kavlor-darwin/<entry>"), so no path length limit applies, and because the token is
// never reused an entry left by a dead process can be deleted by whoever finds it
// without any risk of deleting a newer process's entry that happens to share the pid.

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class DarwinObserverRegistry {
public:
    explicit DarwinObserverRegistry(std::string folder);
    // The registry of the device root in force now.
    static DarwinObserverRegistry forCurrentDeviceRoot();

    const std::string& folder() const { return m_folder; }

    static std::string makeEntryName(pid_t pid, std::uint64_t token);
    static std::optional<pid_t> pidOfEntry(const std::string& entry);
    // The abstract socket name of an entry (without the leading NUL byte).
    static std::string socketNameOf(const std::string& entry);

    // Records an entry (creating the folder when needed). Failures are reported on
    // standard error and answered with false.
    bool add(const std::string& entry) const;
    void remove(const std::string& entry) const;
    // Every well-formed entry, sorted by name.
    std::vector<std::string> entries() const;

private:
    std::string m_folder;
};
