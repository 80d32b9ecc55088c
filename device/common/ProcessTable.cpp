#include "ProcessTable.h"
#include "ProcFile.h"

#include "DeviceFiles.h"
#include "DeviceRoot.h"
#include "FileSystem.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace ProcessTable {

namespace {

std::string entryPath(pid_t pid)
{
    return fmt::format("{}/{}", DeviceFiles::kProcessDirectory, pid);
}

// Field 22 of /proc/PID/stat: when the process started, in clock ticks since the host
// booted. Empty when the process does not exist or has already ended.
std::string startTimeOf(pid_t pid)
{
    std::string text = readProcFile(fmt::format("/proc/{}/stat", pid)).value_or(std::string());
    // The command name (field 2) is in parentheses and may hold spaces: count from the last ')'.
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return {};
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    for (int index = 3; fields >> field; ++index) {
        if (index == 3 && field == "Z")
            return {};  // ended, only waiting to be reaped
        if (index == 22)
            return field;
    }
    return {};
}

} // namespace

bool add(pid_t pid, const std::string& name)
{
    FileSystem::createDirectories(DeviceFiles::kProcessDirectory);
    std::string text = name + "\n" + startTimeOf(pid) + "\n";
    return FileSystem::writeFile(entryPath(pid), std::vector<uint8_t>(text.begin(), text.end()));
}

void remove(pid_t pid)
{
    FileSystem::removeFile(entryPath(pid));
}

std::vector<Entry> list()
{
    std::vector<Entry> entries;
    std::error_code error;
    std::filesystem::directory_iterator it(devicePath(DeviceFiles::kProcessDirectory), error);
    if (error)
        return entries;
    for (const auto& file : it) {
        // Only the digits of a pid name an entry: "PID.kavlor-write-XXXXXX" is an entry still being
        // written aside, which is neither listed nor removed.
        std::string fileName = file.path().filename().string();
        pid_t pid = 0;
        auto [end, failure] = std::from_chars(fileName.data(), fileName.data() + fileName.size(), pid);
        if (failure != std::errc() || end != fileName.data() + fileName.size())
            continue;
        std::ifstream in(file.path());
        std::string name, startTime;
        std::getline(in, name);
        std::getline(in, startTime);
        bool alive = pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM) && startTimeOf(pid) == startTime;
        if (!alive) {
            std::filesystem::remove(file.path(), error);
            continue;
        }
        entries.push_back({ pid, name });
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.pid < b.pid; });
    return entries;
}

std::vector<Entry> findByName(const std::string& name)
{
    auto entries = list();
    std::erase_if(entries, [&](const Entry& entry) { return entry.name != name; });
    return entries;
}

} // namespace ProcessTable
