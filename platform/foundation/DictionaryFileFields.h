#pragma once
// A few fields of every entry of a property-list file whose root is a dictionary of
// dictionaries (every account's name and avatar in a file of records), for a reader that
// starts often and needs nothing else of the file.
//
// Like DictionaryFileEntry, the fields last taken are kept beside the file, in
// "<file>.fields" (see KeptEntryFile: the identity of the file they were taken from, the
// fields asked for, and the entries with only those fields, their pictures as they are),
// and within a process with the file's identity. A reader whose file is unchanged since
// reads that instead of parsing the whole file (the wallpapers and the rest of every
// record); a file that changed is parsed whole once and its fields kept again. A missing,
// damaged or stale "<file>.fields", or one taken for other fields, is not used.

#include "FileIdentity.h"
#include "NSObjectValues.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

class DictionaryFileFields {
public:
    // `path` is a device path.
    DictionaryFileFields(std::string path, std::vector<std::string> fields);

    // The file's entries in its order, each a dictionary of only the fields asked for that
    // it has; entries that are not dictionaries are left out. Nil when the file is missing
    // or not a property list with a dictionary at its root.
    Id<NSDictionary> entries();

    // Where the fields are kept between processes (a device path).
    std::string keptFieldsPath() const { return m_path + ".fields"; }

private:
    struct Taken {
        std::string hostPath;
        FileIdentity identity;
        Id<NSDictionary> entries;
    };
    std::optional<Taken> readKeptFields(const FileIdentity&) const;
    Taken readWholeFile() const;
    // The fields asked for, as one text: kept fields taken for others are not used.
    std::string fieldsKey() const;

    std::string m_path;
    std::vector<std::string> m_fields;
    std::mutex m_mutex;
    std::optional<Taken> m_taken;
};
