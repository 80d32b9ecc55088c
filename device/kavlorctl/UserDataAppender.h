#pragma once
// Adds one record to kavlorctl's binary user-data file, or replaces one, without parsing or
// writing again the records it does not change: with ten accounts of a few megabytes of
// pictures each, parsing the file and serialising it whole made every `user add` cost
// hundreds of milliseconds and more than a hundred megabytes of memory.
//
// A binary property list refers to its objects by index through the offset table at its
// end, so the new file is the old file's objects copied byte for byte (copy_file_range,
// into the temporary that is renamed over the file), then the new record's objects, a new
// root dictionary that refers to the old records' keys and values plus the new record,
// and a new offset table and trailer. The old root dictionary (and a replaced record)
// stay in the file with nothing referring to them; readers follow references from the
// root and never look at them.
//
// It declines (and the caller rewrites the whole file as before, which compacts it) when:
// the file is not binary, or is no longer the one whose identity the caller knows; its
// layout is not what this writer can read; its references are too narrow to index the new
// objects; more than a quarter of the new file would be unreferenced; or the new file
// would pass the size SpringBoard reads.

#include "FileIdentity.h"
#include "NSObjectValues.h"

#include <optional>
#include <string>

class UserDataAppender {
public:
    // The share of the file that may be left unreferenced before it is rewritten whole.
    static constexpr double kMaximumUnreferencedShare = 0.25;

    // Puts `record` under `name` in the file at the device path `path`, which must still
    // have the identity `expected`; `exists` is whether the caller knows `name` to be there
    // already (checked against the file). Answers the identity of the file written, or
    // nothing when it declined (nothing was written). Throws KavlorctlError when the
    // write itself fails (the old file is then intact); `description` names the file.
    static std::optional<FileIdentity> put(const std::string& path, const std::string& description,
        const FileIdentity& expected, const std::string& name, const Id<NSDictionary>& record, bool exists);
};
