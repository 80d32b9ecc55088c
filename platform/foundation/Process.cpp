#include "Process.h"

#include "DeviceRoot.h"
#include "Trace.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fmt/format.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kDeviceNoHang = 1;
constexpr int kDeviceUntraced = 2;
constexpr int kDeviceExited = 4;
constexpr int kDeviceContinued = 0x10;
constexpr const char* kDefaultSearchPath = "/usr/bin:/bin:/usr/sbin:/sbin";

std::string joinArguments(char* const argv[])
{
    std::string joined;
    for (size_t i = 0; argv && argv[i]; ++i) {
        if (i)
            joined += ' ';
        joined += argv[i];
    }
    return joined;
}

std::string_view variableName(std::string_view entry)
{
    return entry.substr(0, entry.find('='));
}

bool isDeviceVariable(std::string_view entry) { return entry.starts_with("KAVLOR_"); }

// The environment the child gets (see kv_posix_spawn).
std::vector<std::string> childEnvironment(char* const envp[])
{
    std::vector<std::string> result;
    if (envp) {
        for (size_t i = 0; envp[i]; ++i)
            result.emplace_back(envp[i]);
    }
    auto has = [&](std::string_view name) {
        for (const auto& entry : result) {
            if (variableName(entry) == name)
                return true;
        }
        return false;
    };
    for (char** entry = environ; entry && *entry; ++entry) {
        if (isDeviceVariable(*entry) && !has(variableName(*entry)))
            result.emplace_back(*entry);
    }
    if (!envp && !has("PATH")) {
        const char* path = std::getenv("PATH");
        result.push_back(std::string("PATH=") + (path && *path ? path : kDefaultSearchPath));
    }
    return result;
}

bool isExecutableFile(const std::string& hostPath)
{
    struct stat info {};
    return ::stat(hostPath.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(hostPath.c_str(), X_OK) == 0;
}

bool isPlainWord(std::string_view word)
{
    for (char c : word) {
        bool plain = std::isalnum(static_cast<unsigned char>(c)) || std::string_view("/._-+,:@%=~").find(c) != std::string_view::npos;
        if (!plain)
            return false;
    }
    return true;
}

bool isDeviceDataPath(std::string_view word)
{
    for (std::string_view folder : { "/Library", "/var", "/System", "/usr" }) {
        if (word == folder || (word.starts_with(folder) && word.size() > folder.size() && word[folder.size()] == '/'))
            return true;
    }
    return false;
}

std::string quotedForShell(const std::string& word)
{
    if (isPlainWord(word))
        return word;
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string rewriteWord(std::string_view word, bool isProgram)
{
    if (word.empty() || word.front() != '/' || !isPlainWord(word))
        return std::string(word);
    std::string hostPath = devicePath(word);
    if (isProgram)
        return isExecutableFile(hostPath) ? quotedForShell(hostPath) : std::string(word);
    return isDeviceDataPath(word) ? quotedForShell(hostPath) : std::string(word);
}

std::string firstWord(std::string_view command)
{
    size_t start = command.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return {};
    size_t end = command.find_first_of(" \t", start);
    return std::string(command.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

} // namespace

int kv_posix_spawn(pid_t* pid, const char* path, const posix_spawn_file_actions_t* fileActions,
    const posix_spawnattr_t* attributes, char* const argv[], char* const envp[])
{
    if (!path) {
        std::fprintf(stderr, "kv_posix_spawn: no program path given\n");
        return EINVAL;
    }
    std::string hostPath = devicePath(path);
    std::vector<std::string> environment = childEnvironment(envp);
    std::vector<char*> environmentPointers;
    for (auto& entry : environment)
        environmentPointers.push_back(entry.data());
    environmentPointers.push_back(nullptr);

    // posix_spawn needs an argument vector; the device's allows a null one.
    char* const noArguments[] = { const_cast<char*>(path), nullptr };
    char* const* arguments = argv ? argv : noArguments;

    // The spawn is traced before the child exists, so that nothing the child does (a
    // respring ending this very process, say) can come before it in the trace.
    Trace::emit("spawn", { { "path", path }, { "argv", joinArguments(arguments) } });
    pid_t child = 0;
    int error = ::posix_spawn(&child, hostPath.c_str(), fileActions, attributes, arguments, environmentPointers.data());
    if (error) {
        Trace::emit("spawn-failed", { { "path", path }, { "error", std::strerror(error) } });
        std::fprintf(stderr, "kv_posix_spawn: cannot start %s (host path %s): %s\n", path, hostPath.c_str(), std::strerror(error));
    } else if (pid) {
        *pid = child;
    }
    return error;
}

pid_t kv_waitpid(pid_t pid, int* status, int options)
{
    constexpr int known = kDeviceNoHang | kDeviceUntraced | kDeviceExited | kDeviceContinued;
    if (options & ~known) {
        std::fprintf(stderr, "kv_waitpid: unsupported options 0x%x for process %d\n", options, static_cast<int>(pid));
        errno = EINVAL;
        return -1;
    }
    int hostOptions = (options & kDeviceNoHang ? WNOHANG : 0) | (options & kDeviceUntraced ? WUNTRACED : 0)
        | (options & kDeviceContinued ? WCONTINUED : 0);
    for (;;) {
        pid_t result = ::waitpid(pid, status, hostOptions);
        if (result >= 0 || errno != EINTR)
            return result;
    }
}

std::string deviceShellCommand(std::string_view command)
{
    std::string result;
    bool isProgram = true;
    size_t position = 0;
    while (position < command.size()) {
        size_t wordStart = command.find_first_not_of(" \t", position);
        result.append(command.substr(position, (wordStart == std::string_view::npos ? command.size() : wordStart) - position));
        if (wordStart == std::string_view::npos)
            break;
        size_t wordEnd = command.find_first_of(" \t", wordStart);
        if (wordEnd == std::string_view::npos)
            wordEnd = command.size();
        result += rewriteWord(command.substr(wordStart, wordEnd - wordStart), isProgram);
        isProgram = false;
        position = wordEnd;
    }
    return result;
}

FILE* kv_popen(const char* command, const char* mode)
{
    if (!command || !mode) {
        std::fprintf(stderr, "kv_popen: no command or mode given\n");
        errno = EINVAL;
        return nullptr;
    }
    Trace::emit("spawn", { { "path", firstWord(command) }, { "argv", command } });
    FILE* stream = ::popen(deviceShellCommand(command).c_str(), mode);
    if (!stream) {
        int error = errno;
        Trace::emit("spawn-failed", { { "path", firstWord(command) }, { "error", std::strerror(error) } });
        std::fprintf(stderr, "kv_popen: cannot start \"%s\": %s\n", command, std::strerror(error));
        errno = error;
    }
    return stream;
}

int kv_pclose(FILE* stream)
{
    if (!stream) {
        errno = EINVAL;
        return -1;
    }
    return ::pclose(stream);
}
