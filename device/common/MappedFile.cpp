#include "MappedFile.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

MappedFile::~MappedFile()
{
    unmap();
}

void MappedFile::unmap()
{
    if (m_address)
        ::munmap(m_address, m_size);
    m_address = nullptr;
    m_size = 0;
    m_path.clear();
}

uint8_t* MappedFile::map(const std::string& path, size_t size, Access access, std::string& error)
{
    if (m_address && m_path == path && m_size == size && m_access == access)
        return static_cast<uint8_t*>(m_address);
    unmap();
    if (size == 0) {
        error = fmt::format("cannot map {}: no bytes asked for", path);
        return nullptr;
    }
    bool writable = access == Access::ReadWrite;
    int fd = ::open(path.c_str(), writable ? O_RDWR | O_CREAT | O_CLOEXEC : O_RDONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = fmt::format("cannot open {}: {}", path, std::strerror(errno));
        return nullptr;
    }
    struct stat info {};
    bool sized = ::fstat(fd, &info) == 0 && (static_cast<size_t>(info.st_size) == size || (!writable && static_cast<size_t>(info.st_size) > size));
    if (!sized && writable)
        sized = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    if (!sized) {
        error = writable ? fmt::format("cannot size {} to {} bytes: {}", path, size, std::strerror(errno))
                         : fmt::format("{} holds {} bytes, not the {} asked for", path, info.st_size, size);
        ::close(fd);
        return nullptr;
    }
    void* address = ::mmap(nullptr, size, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (address == MAP_FAILED) {
        error = fmt::format("cannot map {}: {}", path, std::strerror(errno));
        return nullptr;
    }
    m_address = address;
    m_size = size;
    m_path = path;
    m_access = access;
    return static_cast<uint8_t*>(address);
}
