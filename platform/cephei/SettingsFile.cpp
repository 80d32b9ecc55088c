#include "SettingsFile.h"

#include "DeviceRoot.h"
#include "FileSystem.h"
#include "PropertyList.h"
#include "Trace.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kPreferencesFolder = "/var/mobile/Library/Preferences/";

void complain(const std::string& message)
{
    fmt::print(stderr, "HBPreferences: {}\n", message);
}

// Holds the domain's exclusive write lock for its lifetime. flock locks belong to the
// open file, so two threads of one process exclude each other as two processes do.
class ExclusiveLock {
public:
    explicit ExclusiveLock(const std::string& hostPath)
    {
        m_fd = ::open(hostPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0) {
            m_error = errno;
            return;
        }
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno == EINTR)
                continue;
            m_error = errno;
            ::close(m_fd);
            m_fd = -1;
            return;
        }
    }
    ~ExclusiveLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // closing the last descriptor releases the lock
    }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

    bool held() const { return m_fd >= 0; }
    int error() const { return m_error; }

private:
    int m_fd { -1 };
    int m_error { 0 };
};

bool pathExists(const std::string& devicePathName)
{
    struct stat info {};
    return ::lstat(devicePath(devicePathName).c_str(), &info) == 0;
}

// Whether the file opens for reading; `error` says why not. Non-blocking, so that a
// FIFO in the file's place cannot hang the writer.
bool canOpen(const std::string& hostPath, int& error)
{
    int fd = ::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace

SettingsFile::SettingsFile(std::string identifier) : m_identifier(std::move(identifier)) { }

std::string SettingsFile::path() const { return fmt::format("{}{}.plist", kPreferencesFolder, m_identifier); }

std::string SettingsFile::lockPath() const { return path() + ".lock"; }

bool SettingsFile::isValidIdentifier(std::string_view identifier)
{
    return !identifier.empty() && identifier != "." && identifier != ".." && identifier.find('/') == std::string_view::npos
        && identifier.find('\0') == std::string_view::npos;
}

Id<NSDictionary> SettingsFile::read() const
{
    if (auto stored = PropertyList::readDictionaryFileCached(path()))
        return stored;
    return NSDictionary::dictionary();
}

Id<NSDictionary> SettingsFile::update(std::string_view key, const id& value) const
{
    if (!FileSystem::createDirectories(kPreferencesFolder)) {
        complain(fmt::format("cannot create the folder {} for {}", devicePath(kPreferencesFolder), devicePath(path())));
        return nullptr;
    }
    ExclusiveLock lock(devicePath(lockPath()));
    if (!lock.held()) {
        complain(fmt::format("cannot lock {}: {}; {} was not written", devicePath(lockPath()), std::strerror(lock.error()), key));
        return nullptr;
    }
    Id<NSDictionary> current = readForUpdate();
    if (!current)
        return nullptr;
    Id<NSDictionary> changed = current->mutableCopy();
    changed->setObject(value, key); // nil removes
    std::vector<uint8_t> bytes = PropertyList::serialize(changed);
    if (bytes.empty()) {
        complain(fmt::format("the value for {} ({}) cannot be stored in a property list; {} was left unchanged", key,
            value ? object_getClassName(value) : "nil", devicePath(path())));
        return nullptr;
    }
    if (!FileSystem::writeFile(path(), bytes)) {
        complain(fmt::format("cannot write {}: {}; {} was not written", devicePath(path()), std::strerror(errno), key));
        return nullptr;
    }
    return PropertyList::read(bytes).as<NSDictionary>();
}

Id<NSDictionary> SettingsFile::readForUpdate() const
{
    if (!pathExists(path()))
        return NSDictionary::dictionary();
    if (auto stored = PropertyList::readDictionaryFile(path()))
        return stored;
    // A file that cannot even be opened just now (no descriptor left, no permission) may
    // hold perfectly good settings: moving it aside would lose them all for one write.
    int error = 0;
    if (!canOpen(devicePath(path()), error) && error != ENOENT && error != ELOOP) {
        complain(fmt::format("cannot read {}: {}; the write was refused and the file left as it is", devicePath(path()),
            std::strerror(error)));
        return nullptr;
    }
    if (!moveDamagedFileAside())
        return nullptr;
    return NSDictionary::dictionary();
}

bool SettingsFile::moveDamagedFileAside() const
{
    constexpr int kMaximumCopies = 100;
    std::string damaged = devicePath(path());
    for (int copy = 0; copy < kMaximumCopies; ++copy) {
        std::string aside = copy == 0 ? damaged + ".corrupt" : fmt::format("{}.corrupt.{}", damaged, copy);
        struct stat info {};
        if (::lstat(aside.c_str(), &info) == 0)
            continue;
        if (::rename(damaged.c_str(), aside.c_str()) != 0) {
            complain(fmt::format("{} is not a readable settings file and cannot be moved aside to {}: {}; the write was refused",
                damaged, aside, std::strerror(errno)));
            return false;
        }
        complain(fmt::format("{} was not a readable settings file; it was kept as {} and the domain starts empty", damaged, aside));
        Trace::emit("settings-corrupt", { { "domain", m_identifier }, { "path", path() }, { "keptAs", aside } });
        return true;
    }
    complain(fmt::format("{} is not a readable settings file and {} damaged copies are kept already; the write was refused",
        damaged, kMaximumCopies));
    return false;
}
