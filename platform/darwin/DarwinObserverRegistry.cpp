#include "DarwinObserverRegistry.h"

#include "DeviceRoot.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

DarwinObserverRegistry::DarwinObserverRegistry(std::string folder) : m_folder(std::move(folder)) { }

DarwinObserverRegistry DarwinObserverRegistry::forCurrentDeviceRoot()
{
    return DarwinObserverRegistry(devicePath("/var/run/darwin-notify"));
}

std::string DarwinObserverRegistry::makeEntryName(pid_t pid, std::uint64_t token)
{
    return fmt::format("{}.{:016x}", pid, token);
}

std::optional<pid_t> DarwinObserverRegistry::pidOfEntry(const std::string& entry)
{
    auto dot = entry.find('.');
    if (dot == std::string::npos || dot == 0 || dot > 10 || entry.size() - dot - 1 != 16)
        return std::nullopt;
    bool digits = std::all_of(entry.begin(), entry.begin() + static_cast<long>(dot), [](char c) { return c >= '0' && c <= '9'; });
    bool hex = std::all_of(entry.begin() + static_cast<long>(dot) + 1, entry.end(),
        [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
    if (!digits || !hex)
        return std::nullopt;
    return static_cast<pid_t>(std::stol(entry.substr(0, dot)));
}

std::string DarwinObserverRegistry::socketNameOf(const std::string& entry)
{
    return "kavlor-darwin/" + entry;
}

bool DarwinObserverRegistry::add(const std::string& entry) const
{
    std::error_code error;
    fs::create_directories(m_folder, error);
    if (error) {
        std::fprintf(stderr, "darwin notify: cannot create the observer registry %s: %s\n", m_folder.c_str(),
            error.message().c_str());
        return false;
    }
    // Root helpers and mobile processes share the folder, as /tmp is shared.
    ::chmod(m_folder.c_str(), 01777);
    std::string path = m_folder + "/" + entry;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "darwin notify: cannot register this process in %s: %s\n", path.c_str(),
            std::strerror(errno));
        return false;
    }
    std::string pidLine = fmt::format("{}\n", ::getpid());
    ssize_t written = ::write(fd, pidLine.data(), pidLine.size());
    (void)written;  // the name alone is the record; the content only helps a person
    ::close(fd);
    return true;
}

void DarwinObserverRegistry::remove(const std::string& entry) const
{
    std::string path = m_folder + "/" + entry;
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        std::fprintf(stderr, "darwin notify: cannot remove the registry entry %s: %s\n", path.c_str(),
            std::strerror(errno));
}

std::vector<std::string> DarwinObserverRegistry::entries() const
{
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator it(m_folder, error);
    if (error)
        return names;  // no folder yet: nobody observes
    for (const auto& item : it) {
        std::string name = item.path().filename().string();
        if (pidOfEntry(name))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}
