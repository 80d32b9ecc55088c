#include "FileSystem.h"

#include "DeviceRoot.h"
#include "FileIdentity.h"

#include <fcntl.h>
#include <filesystem>
#include <new>
#include <string>
#include <ctime>
#include <sys/file.h>
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

// A temporary file is "<file>.kavlor-write-XXXXXX", locked (flock) by its writer from
// creation to rename. One that nobody holds locked and that has not changed for a while
// belongs to a writer that died (kill -9, a crash, power loss) and is never renamed: it
// may hold a full copy of the file (85 MB of user data, a 1 GiB bitmap).
static constexpr std::string_view kTemporaryMarker = ".kavlor-write-";
static constexpr std::size_t kTemporarySuffixLength = 6;  // mkstemp's XXXXXX
// A temporary younger than this is left alone: its writer may be between mkstemp and
// flock.
static constexpr int kStaleTemporarySeconds = 10;

static bool isStaleTemporary(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool stale = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::time(nullptr) - info.st_mtime >= kStaleTemporarySeconds
        && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return stale;
}

void removeStaleTemporaries(std::string_view path)
{
    std::filesystem::path target = devicePath(path);
    std::string prefix = target.filename().string() + std::string(kTemporaryMarker);
    std::error_code error;
    std::filesystem::directory_iterator folder(target.parent_path(), error);
    if (error)
        return;
    for (const auto& entry : folder) {
        std::string name = entry.path().filename().string();
        if (name.size() != prefix.size() + kTemporarySuffixLength || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        if (isStaleTemporary(entry.path().string()))
            std::filesystem::remove(entry.path(), error);
    }
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
    return writeFileWith(path, [&](int fd) { return writeAll(fd, bytes); });
}

bool writeFileWith(std::string_view path, const std::function<bool(int fd)>& fill)
{
    std::string target = devicePath(path);
    removeStaleTemporaries(path);
    std::string temporary = target + std::string(kTemporaryMarker) + "XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    // Held until the rename is done, so that the file is never taken for a dead writer's.
    bool ok = ::flock(fd, LOCK_EX) == 0 && fill(fd) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ::close(fd) == 0 && ok;
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
