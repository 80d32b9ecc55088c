#include "WallpaperChangeLock.h"

#include "DeviceRoot.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

WallpaperChangeLock::WallpaperChangeLock()
{
    std::string path = devicePath(kPath);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        m_why = "cannot open the lock file " + path + ": " + std::strerror(errno);
        return;
    }
    int result;
    do
        result = ::flock(fd, LOCK_EX);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        m_why = "cannot lock " + path + ": " + std::strerror(errno);
        ::close(fd);
        return;
    }
    m_fd = fd;
}

WallpaperChangeLock::~WallpaperChangeLock()
{
    // Closing the descriptor releases the lock.
    if (m_fd >= 0)
        ::close(m_fd);
}
