#include "Respring.h"

#include "Process.h"

namespace {

constexpr const char* kSbreloadPath = "/usr/bin/sbreload";
// The device's waitpid bit for "wait until the child has exited"; WNOHANG is not set, so
// the wait blocks.
constexpr int kWaitExited = 4;

} // namespace

void respring()
{
    char programName[] = "sbreload";
    char* argv[] = { programName, nullptr };
    pid_t child = 0;
    // No child was started: there is nothing to wait for, and no respring happens.
    if (kv_posix_spawn(&child, kSbreloadPath, nullptr, nullptr, argv, nullptr) != 0)
        return;
    int status = 0;
    kv_waitpid(child, &status, kWaitExited);
}
