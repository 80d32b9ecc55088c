#pragma once
// One of the preference bundle's property-list files (the user data, the app list):
// loaded whole into a mutable dictionary, changed in memory, written back whole with an
// atomic write (aside and rename), so the library reading it at any moment sees the old
// file or the new one.
//
// A missing file is an empty dictionary. A file that exists but cannot be read, or is not
// a property list with a dictionary at its root, is refused when loading: kavlorctl will
// not overwrite what it cannot understand, so nothing in it is lost. A file keeps its
// format (XML or binary) when written back; a new file is binary, which parses several
// times faster than XML and keeps pictures as they are instead of in base64.

#include "FileIdentity.h"
#include "NSObjectValues.h"
#include "PropertyList.h"

#include <optional>
#include <string>

class PlistDocument {
public:
    // `path` is a device path; `description` names the file in messages ("user-data file").
    static PlistDocument load(std::string path, std::string description);

    const std::string& path() const { return m_path; }
    // The file's host path (under the device root), as messages show it.
    std::string hostPath() const;
    const Id<NSDictionary>& root() const { return m_root; }

    // Writes the root dictionary back, creating the folder if needed. Throws
    // KavlorctlError naming the path when the write fails (the old file is then intact),
    // and, before writing, when the file would grow past the size the library reads
    // (PropertyList::maximumFileSize()): SpringBoard would then see no file at all.
    void save();

    // The identity of the file as loaded, or as written by the last save; nothing for a
    // file that did not exist. (Every writer of these files holds AccountFilesLock, so the
    // file found at the path just after a save is the one written.)
    const std::optional<FileIdentity>& identity() const { return m_identity; }

private:
    PlistDocument(std::string path, std::string description, Id<NSDictionary> root, PropertyList::Format format,
        std::optional<FileIdentity> identity, std::size_t size);

    std::string m_path;
    std::string m_description;
    Id<NSDictionary> m_root;
    PropertyList::Format m_format;
    std::optional<FileIdentity> m_identity;
    std::size_t m_size;  // of the file as loaded (0 for a new one)
};
