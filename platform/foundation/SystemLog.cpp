#include "SystemLog.h"

#include "Trace.h"

#include <algorithm>
#include <mutex>
#include <atomic>
#include <chrono>
#include <sys/stat.h>
#include <syslog.h>

namespace SystemLog {

struct Capture::State {
    mutable std::mutex mutex;
    std::vector<std::string> lines;
};

namespace {

struct Captures {
    std::mutex mutex;
    std::vector<std::shared_ptr<Capture::State>> active;
};

Captures& captures()
{
    static auto* instance = new Captures; // outlives static destruction: logging may happen late
    return *instance;
}

void record(const std::string& line)
{
    std::vector<std::shared_ptr<Capture::State>> active;
    {
        std::lock_guard lock(captures().mutex);
        active = captures().active;
    }
    for (auto& state : active) {
        std::lock_guard lock(state->mutex);
        state->lines.push_back(line);
    }
}

// Whether a system log daemon has its socket: without one, every syslog(3) call tries to
// connect again and fails (about 13 µs a line here). Looked at again once a second, so that a
// daemon started later gets the lines from then on.
bool systemLogSocketExists()
{
    using Clock = std::chrono::steady_clock;
    static std::atomic<Clock::rep> nextLook { 0 };
    static std::atomic<bool> exists { false };
    auto now = Clock::now().time_since_epoch().count();
    if (now >= nextLook.load(std::memory_order_relaxed)) {
        struct stat info {};
        exists.store(::stat("/dev/log", &info) == 0 && S_ISSOCK(info.st_mode), std::memory_order_relaxed);
        nextLook.store(now + std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)).count(), std::memory_order_relaxed);
    }
    return exists.load(std::memory_order_relaxed);
}

} // namespace

void write(const std::string& line)
{
    // The line is data, never a format of its own.
    if (systemLogSocketExists())
        syslog(LOG_NOTICE, "%s", line.c_str());
    if (Trace::hasSink()) // the event's fields would copy the line
        Trace::emit("log", { { "text", line } });
    record(line);
}

Capture::Capture() : m_state(std::make_shared<State>())
{
    std::lock_guard lock(captures().mutex);
    captures().active.push_back(m_state);
}

Capture::~Capture()
{
    std::lock_guard lock(captures().mutex);
    std::erase(captures().active, m_state);
}

std::vector<std::string> Capture::lines() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->lines;
}

void Capture::clear()
{
    std::lock_guard lock(m_state->mutex);
    m_state->lines.clear();
}

} // namespace SystemLog
