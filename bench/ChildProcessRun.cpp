#include "ChildProcessRun.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// Started through kavlor-bench-run, which reports the program's own peak (see there).
ChildProcessRun ChildProcessRun::run(const std::vector<std::string>& arguments, const std::vector<std::string>& environment)
{
    std::string runner = benchProgramFolder() + "/kavlor-bench-run";
    std::vector<char*> argv { runner.data() };
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> variables(environment);
    for (char** entry = environ; *entry; ++entry)
        variables.emplace_back(*entry);
    std::vector<char*> envp;
    for (auto& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    int report[2];
    if (pipe(report) != 0)
        throw std::runtime_error("cannot make a pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, report[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, report[0]);
    pid_t pid = 0;
    int error = posix_spawn(&pid, runner.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(report[1]);
    if (error != 0) {
        close(report[0]);
        throw std::runtime_error("cannot start " + runner);
    }
    std::string text;
    char buffer[256];
    for (ssize_t got; (got = read(report[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(got));
    close(report[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) { }
    ChildProcessRun result;
    long peakKilobytes = 0;
    if (std::sscanf(text.c_str(), "%d %lf %ld", &result.exitStatus, &result.seconds, &peakKilobytes) != 3)
        throw std::runtime_error("kavlor-bench-run reported nothing for " + arguments[0]);
    result.peakMegabytes = double(peakKilobytes) / 1024.0;
    return result;
}

std::string benchDevicesFolder()
{
    const char* folder = std::getenv("KAVLOR_BENCH_DEVICES");
    return folder ? folder : "";
}

std::string benchProgramFolder()
{
    std::error_code error;
    return std::filesystem::canonical("/proc/self/exe", error).parent_path().string();
}
