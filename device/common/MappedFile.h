#pragma once
// MappedFile: a file's bytes mapped into memory, kept mapped between uses. SpringBoard
// draws its screen straight into such a file (in /dev/shm) and the device's web server reads
// the same pages: a picture of an iPad's 22 MB passes between the two processes without
// being written, read or copied.
//
// Whoever maps a file writable sets its size; a reader maps it only when it holds at least
// the bytes asked for (a file cut short under a mapping would fault on access). The two
// take turns through the control channel: the reader looks only after the writer answered.

#include <cstddef>
#include <cstdint>
#include <string>

class MappedFile {
public:
    enum class Access { Read, ReadWrite };

    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // The first `size` bytes of the file at `path` (made, at that size, for ReadWrite), or
    // nullptr with `error` saying why. A mapping of the same file, size and access is reused.
    uint8_t* map(const std::string& path, size_t size, Access access, std::string& error);

private:
    void unmap();

    std::string m_path;
    size_t m_size = 0;
    Access m_access = Access::Read;
    void* m_address = nullptr;
};
