#include "TraceFollower.h"

#include <fmt/format.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An object whose time, pid, process and event, where present, have the types every
// reader takes them with (value("time", 0.0) and the like throw on any other).
bool hasTheLinesOwnFields(const nlohmann::ordered_json& event)
{
    if (!event.is_object())
        return false;
    auto has = [&](const char* key, auto&& isRightType) {
        auto field = event.find(key);
        return field == event.end() || isRightType(*field);
    };
    return has("time", [](const auto& value) { return value.is_number(); })
        && has("pid", [](const auto& value) { return value.is_number_integer(); })
        && has("process", [](const auto& value) { return value.is_string(); })
        && has("event", [](const auto& value) { return value.is_string(); });
}

// The text with every byte that is not part of valid UTF-8 replaced by U+FFFD, so that
// the event can be printed as JSON (which refuses invalid UTF-8) and for a person.
std::string asValidUTF8(const std::string& text)
{
    auto quoted = nlohmann::ordered_json(text).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    return nlohmann::ordered_json::parse(quoted).get<std::string>();
}

} // namespace

TraceFollower::TraceFollower(std::string hostPath, bool fromEnd)
    : m_path(std::move(hostPath))
{
    struct stat info {};
    if (fromEnd && ::stat(m_path.c_str(), &info) == 0)
        m_offset = static_cast<std::uint64_t>(info.st_size);
}

std::vector<nlohmann::ordered_json> TraceFollower::readNew()
{
    std::vector<nlohmann::ordered_json> events;
    forEachNew([&](nlohmann::ordered_json&& event) { events.push_back(std::move(event)); });
    return events;
}

void TraceFollower::forEachNew(const std::function<void(nlohmann::ordered_json&&)>& handle)
{
    int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && static_cast<std::uint64_t>(info.st_size) < m_offset) {
        // The file was replaced by a shorter one (a fresh device): start over.
        m_offset = 0;
        m_partial.clear();
    }
    // One buffer at a time, each whole line handed out before the next read, so that a
    // trace of any length is read in the same memory.
    char buffer[65536];
    for (;;) {
        ssize_t count = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(m_offset));
        if (count <= 0)
            break;
        m_offset += static_cast<std::uint64_t>(count);
        m_partial.append(buffer, static_cast<size_t>(count));
        handOutWholeLines(handle);
    }
    ::close(fd);
}

void TraceFollower::handOutWholeLines(const std::function<void(nlohmann::ordered_json&&)>& handle)
{
    size_t start = 0;
    for (size_t newline; (newline = m_partial.find('\n', start)) != std::string::npos; start = newline + 1) {
        std::string_view line(m_partial.data() + start, newline - start);
        if (line.empty())
            continue;
        auto event = nlohmann::ordered_json::parse(line, nullptr, false);
        if (event.is_discarded() || !hasTheLinesOwnFields(event))
            event = nlohmann::ordered_json { { "event", "unreadable-trace-line" }, { "text", asValidUTF8(std::string(line)) } };
        handle(std::move(event));
    }
    m_partial.erase(0, start);
}

namespace {

std::string renderValue(const nlohmann::ordered_json& value)
{
    if (value.is_string()) {
        const auto& text = value.get_ref<const std::string&>();
        if (text.empty() || text.find(' ') != std::string::npos)
            return nlohmann::ordered_json(text).dump();
        return text;
    }
    return value.dump();
}

} // namespace

std::string prettyTraceEvent(const nlohmann::ordered_json& event)
{
    double time = event.value("time", 0.0);
    std::string process = event.value("process", std::string("?"));
    std::string name = event.value("event", std::string("?"));
    std::string head = event.contains("pid") ? fmt::format("{}[{}]", process, event["pid"].dump()) : process;
    std::string line = fmt::format("{:>10.3f}  {:<18} {}", time, head, name);
    // A log line is shown as it was logged, so a person can search for it.
    if (name == "log" && event.contains("text") && event["text"].is_string())
        return line + "  " + event["text"].get<std::string>();
    for (auto it = event.begin(); it != event.end(); ++it) {
        if (it.key() == "time" || it.key() == "pid" || it.key() == "process" || it.key() == "event")
            continue;
        line += fmt::format("  {}={}", it.key(), renderValue(it.value()));
    }
    return line;
}
