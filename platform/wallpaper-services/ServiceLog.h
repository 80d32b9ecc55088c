#pragma once
// The record the wallpaper-services and jailbreak stand-ins keep of what they were asked
// to do: one JSON object a line, appended to a log file under the device's
// "/var/mobile/Library/Logs/". Tests and the simulated device read these lines to see
// which calls a program made, in which order and with which arguments.

#include <nlohmann/json.hpp>

#include <string_view>

namespace ServiceLog {

// Appends `record` as one line to the log at the device path. The line goes out in one
// write on a descriptor opened for appending, so lines of concurrent writers never mix.
// The folder is made when missing. A failure is reported on standard error, naming the
// file and the reason, and answers false.
bool append(std::string_view logDevicePath, const nlohmann::json& record);

} // namespace ServiceLog
