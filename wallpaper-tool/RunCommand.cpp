#include "RunCommand.h"

#include "Process.h"

#include <cstdio>

std::optional<std::string> runCommand(const std::string& command)
{
    // Device paths in the command ("/Library/Kavlors/...", "/usr/bin/sbreload") are
    // those of the device this program runs on.
    FILE* pipe = kv_popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    // Only the first line is wanted; kv_pclose waits for the command to end whatever it
    // still writes.
    char line[1024] = {};
    if (!std::fgets(line, sizeof line, pipe))
        line[0] = '\0';
    std::string firstLine(line);
    if (kv_pclose(pipe) != 0)
        return std::nullopt;
    return firstLine;
}
