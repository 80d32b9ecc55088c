#include "DeviceTrace.h"

#include "DeviceClock.h"
#include "DeviceFiles.h"
#include "DeviceRoot.h"
#include "FileSystem.h"
#include "Trace.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace DeviceTrace {

namespace {

std::string& storedProcessName()
{
    static std::string name;
    return name;
}


bool isReserved(const std::string& key)
{
    return key == "time" || key == "pid" || key == "process" || key == "event";
}

// Appends one line in one write. A failure is said once on standard error: the trace is
// how a person sees the device, so losing it silently would mislead.
void appendLine(const std::string& line)
{
    std::string path = devicePath(DeviceFiles::kTraceFile);
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && errno == ENOENT) {
        FileSystem::createDirectories("/var/log");
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    }
    static bool complained = false;
    if (fd < 0) {
        if (!complained)
            std::fprintf(stderr, "%s: cannot write the device trace %s: %s\n", storedProcessName().c_str(), path.c_str(), std::strerror(errno));
        complained = true;
        return;
    }
    std::string text = line + "\n";
    ssize_t written = ::write(fd, text.data(), text.size());
    if (written != static_cast<ssize_t>(text.size()) && !complained) {
        std::fprintf(stderr, "%s: short write to the device trace %s\n", storedProcessName().c_str(), path.c_str());
        complained = true;
    }
    ::close(fd);
}

} // namespace

std::string formatLine(double time, int pid, const std::string& process, const std::string& event, const nlohmann::ordered_json& fields)
{
    nlohmann::ordered_json line;
    // Millisecond precision is what a reader needs; it also keeps float noise out of the file.
    line["time"] = std::round(time * 1000.0) / 1000.0;
    line["pid"] = pid;
    line["process"] = process;
    line["event"] = event;
    if (fields.is_object()) {
        for (auto it = fields.begin(); it != fields.end(); ++it)
            line[isReserved(it.key()) ? "field-" + it.key() : it.key()] = it.value();
    }
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void write(const std::string& event, const nlohmann::ordered_json& fields)
{
    // SpringBoard owns the virtual clock: bring the clock file up to date first, so that a
    // process this event announces (a spawn) stamps its own events at the same time.
    DeviceClock::publishIfMoved();
    appendLine(formatLine(DeviceClock::now(), static_cast<int>(::getpid()), storedProcessName(), event, fields));
}


void install(std::string processName)
{
    storedProcessName() = std::move(processName);
    Trace::setSink([](const std::string& event, const Trace::Fields& fields) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        for (const auto& [key, value] : fields)
            object[key] = value;
        write(event, object);
    });
}

const std::string& processName()
{
    return storedProcessName();
}

} // namespace DeviceTrace
