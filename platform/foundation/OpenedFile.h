#pragma once
// A regular file open for reading, with what fstat told of it when it was opened, read piece
// by piece at given offsets. For readers that take only the parts of a large file they need
// (a kept entry's list, a binary property list's objects) instead of the whole file.

#include "FileIdentity.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

class OpenedFile {
public:
    // `hostPath` is a path on this machine. Opened close-on-exec and without blocking (a FIFO
    // put in the file's place does not hang the reader); anything but a regular file is
    // not open.
    explicit OpenedFile(const std::string& hostPath);
    ~OpenedFile();
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;

    bool isOpen() const { return m_identity.has_value(); }
    int fd() const { return m_fd; }
    uint64_t size() const { return m_size; }
    const std::optional<FileIdentity>& identity() const { return m_identity; }

    // Fills `into` from `offset`; false when the file ends first or cannot be read.
    bool read(uint64_t offset, std::span<uint8_t> into) const;

private:
    int m_fd = -1;
    uint64_t m_size = 0;
    std::optional<FileIdentity> m_identity;
};
