#include "AccountFilesLock.h"

#include "DeviceRoot.h"
#include "FileSystem.h"
#include "KavlorctlError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/file.h>
#include <unistd.h>

static constexpr const char* kPreferencesFolder = "/var/mobile/Library/Preferences";

AccountFilesLock::AccountFilesLock()
{
    FileSystem::createDirectories(kPreferencesFolder);
    std::string folder = devicePath(kPreferencesFolder);
    m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0)
        throw KavlorctlError(fmt::format("cannot open the folder {}: {}", folder, std::strerror(errno)));
    int result;
    do
        result = ::flock(m_fd, LOCK_EX);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        int error = errno;
        ::close(m_fd);
        throw KavlorctlError(fmt::format("cannot lock the folder {}: {}", folder, std::strerror(error)));
    }
}

AccountFilesLock::~AccountFilesLock()
{
    // Closing the descriptor releases the lock.
    ::close(m_fd);
}
