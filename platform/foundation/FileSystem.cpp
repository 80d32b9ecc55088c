#include "FileSystem.h"

#include "DeviceRoot.h"
#include "FileIdentity.h"

#include <fcntl.h>
#include <filesystem>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace FileSystem {

// Reads straight into the answer (no bounce buffer), so the bytes are copied once.
static std::optional<std::vector<uint8_t>> readOpenFile(int fd, std::size_t maxBytes, FileIdentity* identity)
{
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<uintmax_t>(info.st_size) > maxBytes)
        return std::nullopt;
    // Taken before the read: a change made while reading gives the file another identity,
    // so a reader that caches by identity reads it again next time.
    if (identity)
        *identity = FileIdentity::of(info);
    std::vector<uint8_t> bytes(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break; // shrank while being read
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    // Whatever was appended meanwhile.
    uint8_t buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        if (bytes.size() + static_cast<size_t>(got) > maxBytes)
            return std::nullopt; // grew while being read
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

std::optional<std::vector<uint8_t>> readFile(std::string_view path, std::size_t maxBytes, FileIdentity* identity)
{
    // Non-blocking, so that a FIFO or a device at the path is refused by the type test
    // instead of blocking the open until a writer comes; regular files read as ever.
    int fd = ::open(devicePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::vector<uint8_t>> bytes;
    try {
        bytes = readOpenFile(fd, maxBytes, identity);
    } catch (const std::bad_alloc&) {
        // A file larger than the memory there is reads as unreadable, like any other.
        bytes = std::nullopt;
    }
    ::close(fd);
    return bytes;
}

static bool writeAll(int fd, std::span<const uint8_t> bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0)
            return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

bool writeFile(std::string_view path, std::span<const uint8_t> bytes, bool atomically)
{
    std::string target = devicePath(path);
    if (!atomically) {
        int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        bool ok = writeAll(fd, bytes);
        return ::close(fd) == 0 && ok;
    }
    std::string temporary = target + ".XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, bytes) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temporary.c_str(), target.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}

bool fileExists(std::string_view path)
{
    struct stat info {};
    return ::stat(devicePath(path).c_str(), &info) == 0;
}

bool removeFile(std::string_view path)
{
    return ::unlink(devicePath(path).c_str()) == 0;
}

bool createDirectories(std::string_view path)
{
    std::error_code error;
    std::filesystem::create_directories(devicePath(path), error);
    return !error;
}

} // namespace FileSystem
