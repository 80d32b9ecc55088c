#pragma once
// The device's trace: every process of the simulated device appends the events it sees
// to one file, "/var/log/kavlor-trace.jsonl", one JSON object a line:
//   {"time": 12.5, "pid": 4242, "process": "SpringBoard", "event": "log", "text": "..."}
// `time` is seconds since the device booted (DeviceClock), so the lines of all processes
// form one timeline. Each line goes out in one write() on an O_APPEND descriptor, so lines
// of different processes never interleave.

#include <nlohmann/json.hpp>

#include <functional>
#include <string>

namespace DeviceTrace {

// Makes this process write the platform's Trace events (log lines, notifications,
// settings writes, spawns...) to the device's trace file, stamped with `processName`.
void install(std::string processName);
// The name given to install() ("" before).
const std::string& processName();

// Writes one event of this process with typed fields (numbers stay numbers). Works with or
// without install(). Fields named time, pid, process or event are kept under "field-NAME".
void write(const std::string& event, const nlohmann::ordered_json& fields = nlohmann::ordered_json::object());

// The JSON line (without the line feed) for an event, as write() would append it.
std::string formatLine(double time, int pid, const std::string& process, const std::string& event,
                       const nlohmann::ordered_json& fields);

} // namespace DeviceTrace
