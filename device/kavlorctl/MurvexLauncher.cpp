#include "MurvexLauncher.h"
#include "ArgumentVector.h"

#include "DeviceRoot.h"
#include "KavlorctlError.h"
#include "Process.h"

#include <cstring>
#include <fmt/format.h>
#include <sys/wait.h>
#include <unistd.h>

namespace MurvexLauncher {

int run(const std::vector<std::string>& arguments)
{
    std::string hostPath = devicePath(kMurvexPath);
    if (::access(hostPath.c_str(), X_OK) != 0)
        throw KavlorctlError(fmt::format("murvex is not installed on this device ({} is not an executable file)", hostPath));

    ArgumentVector argv(kMurvexPath, arguments);

    pid_t pid = 0;
    if (int error = kv_posix_spawn(&pid, kMurvexPath, nullptr, nullptr, argv.data(), nullptr); error != 0)
        throw KavlorctlError(fmt::format("cannot start {}: {}", hostPath, std::strerror(error)));
    int status = 0;
    // The device's waitpid bit WEXITED: wait for the helper to end.
    constexpr int kWaitForExit = 4;
    if (kv_waitpid(pid, &status, kWaitForExit) != pid)
        throw KavlorctlError(fmt::format("lost track of murvex (pid {}): {}", pid, std::strerror(errno)));
    if (WIFSIGNALED(status))
        throw KavlorctlError(fmt::format("murvex was ended by signal {} ({})", WTERMSIG(status), strsignal(WTERMSIG(status))));
    return WEXITSTATUS(status);
}

} // namespace MurvexLauncher
