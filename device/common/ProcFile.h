#pragma once
// Reading a file of /proc/PID. The process may end at any moment: its files then fail to
// read (ESRCH) even after they opened, which a C++ stream turns into an exception. Here that
// reads as nothing, as does a process that never existed.

#include <fcntl.h>
#include <optional>
#include <string>
#include <unistd.h>

// Reads an open /proc file to its end; nothing when the process ended meanwhile.
inline std::optional<std::string> readOpenedProcFile(int fd)
{
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return text;
        text.append(buffer, static_cast<size_t>(got));
    }
}

inline std::optional<std::string> readProcFile(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    auto text = readOpenedProcFile(fd);
    ::close(fd);
    return text;
}
