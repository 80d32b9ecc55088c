#pragma once
// Running one shell command to completion.

#include <optional>
#include <string>

// Runs the command through the shell and answers the first line of its standard output
// (at most 1023 bytes, with its line feed), or nothing when the command could not be
// started or ended with a non-zero status. The command's error output is not captured.
// A command that prints nothing and succeeds answers an empty string.
std::optional<std::string> runCommand(const std::string& command);
