#pragma once
// The user-data file's records without their pictures, for the commands that need only
// the accounts' names and fields (`user list`, the account check of `apps disable`), so
// that they do not parse megabytes of pictures to print a few lines.
//
// A picture-less copy is kept beside the file in "<file>.summary" (a binary property
// list) with the identity of the file it was taken from (FileIdentity). kavlorctl keeps it
// whenever it writes the file, and whenever it had to parse a file someone else changed;
// a copy whose identity is not that of the file now is never used. Only Data values
// inside records are left out: every account, and every other field, is there.

#include "NSObjectValues.h"
#include "PlistDocument.h"

#include <optional>
#include <string>

namespace RecordSummaries {

// The records as the user-data file holds them now, without their pictures. Refuses (throws
// KavlorctlError) what PlistDocument::load refuses.
Id<NSDictionary> load(const std::string& userDataPath, const std::string& description);

// The summary kept beside the file, and the identity of the file it was taken from.
struct Kept {
    FileIdentity source;
    Id<NSDictionary> records;  // mutable
};
// The kept summary when it was taken from the file as it is now (which kavlorctl then
// wrote, or parsed whole, so it is well formed); nothing otherwise.
std::optional<Kept> current(const std::string& userDataPath);

// Keeps the summary of the user data just loaded or saved.
void keep(const PlistDocument& userData);
// Keeps the summary of a file written as `kept`'s records with `record` put under `name`
// (replacing the record of that name, or after the others); `written` is its identity.
void keepWithRecord(const std::string& userDataPath, const FileIdentity& written, const Kept& kept,
    const std::string& name, const Id<NSDictionary>& record);

// The summary file of the user-data file at that device path.
std::string summaryPath(const std::string& userDataPath);

} // namespace RecordSummaries
