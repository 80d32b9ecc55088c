#include "ChildProcess.h"
#include "ProcFile.h"
#include "ArgumentVector.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

std::string ChildResult::describe() const
{
    if (!started)
        return fmt::format("could not be started: {}", startError);
    if (timedOut)
        return fmt::format("did not end within {} s and was killed", allowedSeconds);
    if (signal)
        return fmt::format("was killed by signal {} (SIG{})", signal, sigabbrev_np(signal) ? sigabbrev_np(signal) : "?");
    return fmt::format("exited with status {}", exitStatus);
}

ChildResult runChild(const std::string& program, const std::vector<std::string>& arguments, double timeoutSeconds)
{
    ChildResult result;
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0)
        return result.startError = std::strerror(errno), result;
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return result.startError = std::strerror(errno), result;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ArgumentVector argv(program, arguments);
    pid_t pid = 0;
    int spawnError = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (spawnError != 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        result.startError = fmt::format("{}: {}", program, std::strerror(spawnError));
        return result;
    }
    result.started = true;
    result.pid = pid;
    result.allowedSeconds = timeoutSeconds;

    // Read both pipes until both close (the program and anything it left running ended
    // or closed them), within the time allowed.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    pollfd fds[2] = { { outPipe[0], POLLIN, 0 }, { errPipe[0], POLLIN, 0 } };
    std::string* sinks[2] = { &result.out, &result.err };
    int open = 2;
    while (open > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        int ready = ::poll(fds, 2, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            ssize_t count = ::read(fds[i].fd, buffer, sizeof buffer);
            if (count > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(count));
            } else if (count == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& fd : fds) {
        if (fd.fd >= 0)
            ::close(fd.fd);
    }
    // A program that closed its output and carries on (or hangs) is waited for only as
    // long as is left of the time allowed.
    if (!result.timedOut) {
        double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
        if (!waitForProcessesToEnd({ pid }, std::max(left, 0.0))) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}

std::vector<int> liveChildrenOf(int parent)
{
    std::vector<int> children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0])))
            continue;
        std::string text = readProcFile((entry.path() / "stat").string()).value_or(std::string());
        size_t close = text.rfind(')');
        if (close == std::string::npos || close + 2 >= text.size())
            continue;
        std::istringstream fields(text.substr(close + 2));
        std::string state;
        int parentPid = 0;
        if (!(fields >> state >> parentPid))
            continue;
        if (parentPid == parent && state != "Z" && state != "X")
            children.push_back(std::stoi(name));
    }
    return children;
}

bool waitForProcessesToEnd(const std::vector<int>& pids, double timeoutSeconds)
{
    std::vector<pollfd> waiters;
    for (int pid : pids) {
        int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        if (fd >= 0)
            waiters.push_back({ fd, POLLIN, 0 });
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    bool allEnded = true;
    for (auto& waiter : waiters) {
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            int ready = ::poll(&waiter, 1, static_cast<int>(std::max<long long>(left, 0)));
            if (ready < 0 && errno == EINTR)
                continue;
            allEnded = allEnded && ready > 0;
            break;
        }
    }
    for (auto& waiter : waiters)
        ::close(waiter.fd);
    return allEnded;
}
