#include "ScreenChangeSignal.h"

#include "DeviceError.h"

#include <fmt/format.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

ScreenChangeSignal::ScreenChangeSignal()
    : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_fd < 0)
        throw DeviceError(fmt::format("cannot make the screen's change signal: eventfd: {}", std::strerror(errno)));
}

ScreenChangeSignal::~ScreenChangeSignal()
{
    ::close(m_fd);
}

bool ScreenChangeSignal::wait(double timeoutSeconds)
{
    pollfd readable { m_fd, POLLIN, 0 };
    int timeoutMs = static_cast<int>(std::ceil(std::max(0.0, timeoutSeconds) * 1000));
    if (::poll(&readable, 1, timeoutMs) <= 0)
        return false;
    uint64_t count = 0;
    return ::read(m_fd, &count, sizeof count) == sizeof count && count > 0;
}

int ScreenChangeSignal::inheritedFd()
{
    const char* text = std::getenv(kEnvironmentName);
    if (!text || !*text)
        return -1;
    char* end = nullptr;
    long number = std::strtol(text, &end, 10);
    std::error_code error;
    std::string target = (*end == '\0' && number >= 0 && number <= INT_MAX)
        ? std::filesystem::read_symlink(fmt::format("/proc/self/fd/{}", number), error).string()
        : std::string();
    if (target != "anon_inode:[eventfd]") {
        std::fprintf(stderr, "SpringBoard: %s=%s names no eventfd of this process: the screen's changes are not told\n", kEnvironmentName, text);
        return -1;
    }
    int fd = static_cast<int>(number);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

void ScreenChangeSignal::tell(int fd)
{
    uint64_t one = 1;
    ssize_t written = ::write(fd, &one, sizeof one);
    (void)written;  // EAGAIN: the counter is full of unread news already
}
