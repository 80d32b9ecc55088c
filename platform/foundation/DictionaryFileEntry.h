#pragma once
// One entry of a property-list file whose root is a dictionary (one account's record in a
// file of many), for a reader that asks at every turn and starts often.
//
// Within a process the entry is kept with the file's identity and answered again while
// the file is unchanged (see FileIdentity), so every edit is still seen at the next call.
// Across starts, the entry last taken is kept beside the file in "<file>.entry" (see
// KeptEntryFile: the key, the identity of the file it was taken from, the entry), so a new
// process whose file is unchanged since then parses that one entry instead of the whole
// file, whoever wrote the file and in whichever format. The whole file is parsed only
// when it changed or another key is asked for. A missing, damaged or stale "<file>.entry"
// is simply not used; one that cannot be written is not written.

#include "FileIdentity.h"
#include "NSObjectValues.h"

#include <mutex>
#include <optional>
#include <string>

class DictionaryFileEntry {
public:
    // `path` is a device path.
    explicit DictionaryFileEntry(std::string path);

    // The value under `key` in the file as it is now; nil when the file is missing, is not
    // a property list with a dictionary at its root, holds no such key, or `key` is not a
    // string.
    id value(const id& key);

    // Where the entry is kept between processes (a device path).
    std::string keptEntryPath() const { return m_path + ".entry"; }

private:
    struct Taken {
        std::string hostPath;
        FileIdentity identity;
        std::string key;
        id value;
    };
    std::optional<Taken> readKeptEntry(const FileIdentity&, const std::string& key) const;
    Taken readWholeFile(const std::string& key) const;
    void keepEntry(const Taken&) const;

    std::string m_path;
    std::mutex m_mutex;
    std::optional<Taken> m_taken;
};
