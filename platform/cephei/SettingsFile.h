#pragma once
// The property-list file that holds one settings domain:
// "/var/mobile/Library/Preferences/<identifier>.plist" under the device root.
//
// Reads take the file as it is at that moment (a writer replaces it with a rename, so a
// reader sees the old contents or the new, never a part). Writes change one key under an
// exclusive flock on "<identifier>.plist.lock" beside it: read, change, write aside and
// rename, unlock. Two processes writing different keys at once therefore lose neither.
//
// A file that exists but is not a property list with a dictionary at its root reads as
// empty. The first write after that moves it aside to "<identifier>.plist.corrupt" (or
// ".corrupt.1", ".corrupt.2"... when that name is taken) before writing the new file, so
// the settings work again and the damaged bytes are kept for whoever wants to look at
// them. If it cannot be moved aside the write is refused: the file is never made worse.
// A file that cannot be opened at the moment of the write (descriptors exhausted, no
// permission) is not taken for damaged: the write is refused and the file left alone.

#include "NSObjectValues.h"

#include <string>
#include <string_view>

class SettingsFile {
public:
    explicit SettingsFile(std::string identifier);

    const std::string& identifier() const { return m_identifier; }
    // Device paths (resolved under the device root at each use).
    std::string path() const;
    std::string lockPath() const;

    // The domain as stored now; an empty dictionary when the file is missing or damaged.
    // Parsed again only when the file changed since the last read (the dictionary is
    // shared by readers until then: do not change it).
    Id<NSDictionary> read() const;

    // Stores `value` under `key` (nil removes the key) and answers the domain as written,
    // read back from the very bytes that went to disk. Answers nil, after a message on
    // standard error naming the file and the cause, when nothing was written.
    Id<NSDictionary> update(std::string_view key, const id& value) const;

    // Whether `identifier` can name a settings file: not empty, and nothing that would
    // lead out of the preferences folder ('/', "." or "..", NUL).
    static bool isValidIdentifier(std::string_view identifier);

private:
    // The current contents for a locked update: empty when missing; nil when the file is
    // damaged and could not be moved aside.
    Id<NSDictionary> readForUpdate() const;
    bool moveDamagedFileAside() const;

    std::string m_identifier;
};
