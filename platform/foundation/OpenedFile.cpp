#include "OpenedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

OpenedFile::OpenedFile(const std::string& hostPath)
    : m_fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
{
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode))
        return;
    m_identity = FileIdentity::of(info);
    m_size = static_cast<uint64_t>(info.st_size);
}

OpenedFile::~OpenedFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool OpenedFile::read(uint64_t offset, std::span<uint8_t> into) const
{
    while (!into.empty()) {
        ssize_t got = ::pread(m_fd, into.data(), into.size(), static_cast<off_t>(offset));
        if (got <= 0)
            return false;
        into = into.subspan(static_cast<size_t>(got));
        offset += static_cast<uint64_t>(got);
    }
    return true;
}
