#include "Respring.h"

#include "ArgumentVector.h"
#include "Process.h"

namespace {

constexpr const char* kSbreloadPath = "/usr/bin/sbreload";
constexpr int kWaitForExit = 4; // the device's WEXITED, without WNOHANG: a blocking wait

} // namespace

void respring()
{
    ArgumentVector argv({ "sbreload" });
    pid_t child = 0;
    // No child to wait for when the spawn failed: the caller goes on, and no respring happens.
    if (kv_posix_spawn(&child, kSbreloadPath, nullptr, nullptr, argv.data(), nullptr) != 0)
        return;
    int status = 0;
    kv_waitpid(child, &status, kWaitForExit);
}
