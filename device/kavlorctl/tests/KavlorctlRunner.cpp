#include "KavlorctlRunner.h"

#include "ArgumentVector.h"

#include "PropertyList.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace fs = std::filesystem;

static std::string makeTemporaryFolder(const char* pattern)
{
    std::string path = (fs::temp_directory_path() / pattern).string();
    if (!::mkdtemp(path.data()))
        throw std::runtime_error("mkdtemp failed");
    return path;
}

static std::string readText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void KavlorctlTest::SetUp()
{
    m_root = makeTemporaryFolder("kavlorctl-root-XXXXXX");
    m_scratch = makeTemporaryFolder("kavlorctl-scratch-XXXXXX");
}

void KavlorctlTest::TearDown()
{
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
    fs::remove_all(m_scratch, ignored);
}

KavlorctlRun KavlorctlTest::run(std::vector<std::string> arguments) const
{
    arguments.insert(arguments.begin(), { "--device", m_root });
    return runWithoutDeviceOption(std::move(arguments), std::nullopt);
}

KavlorctlRun KavlorctlTest::runWithoutDeviceOption(std::vector<std::string> arguments, std::optional<std::string> environmentRoot) const
{
    ArgumentVector environment = ArgumentVector::environmentWithout("KAVLOR_DEVICE_ROOT");
    if (environmentRoot)
        environment.add("KAVLOR_DEVICE_ROOT=" + *environmentRoot);
    ArgumentVector argv(KAVLORCTL_PATH, arguments);
    char* const* envp = environment.data();

    // Names of their own, so that tests may run several at once from threads.
    static std::atomic<int> runs { 0 };
    int number = ++runs;
    std::string outPath = m_scratch + "/stdout." + std::to_string(number);
    std::string errPath = m_scratch + "/stderr." + std::to_string(number);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int error = posix_spawn(&pid, KAVLORCTL_PATH, &actions, nullptr, argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot start " KAVLORCTL_PATH);
    int status = 0;
    waitpid(pid, &status, 0);
    KavlorctlRun result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.standardOutput = readText(outPath);
    result.standardError = readText(errPath);
    return result;
}

std::optional<std::vector<uint8_t>> KavlorctlTest::fileBytes(const std::string& devicePath) const
{
    if (!fs::exists(hostPath(devicePath)))
        return std::nullopt;
    return hostFileBytes(hostPath(devicePath));
}

void KavlorctlTest::writeFileBytes(const std::string& devicePath, const std::vector<uint8_t>& bytes) const
{
    fs::create_directories(fs::path(hostPath(devicePath)).parent_path());
    writeHostFile(hostPath(devicePath), bytes);
}

void KavlorctlTest::writeHostFile(const std::string& hostPath, const std::vector<uint8_t>& bytes)
{
    std::ofstream file(hostPath, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + hostPath);
}

Id<NSDictionary> KavlorctlTest::plist(const std::string& devicePath) const
{
    auto bytes = fileBytes(devicePath);
    return bytes ? PropertyList::read(*bytes).as<NSDictionary>() : nullptr;
}

std::vector<uint8_t> KavlorctlTest::hostFileBytes(const std::string& hostPath)
{
    std::ifstream file(hostPath, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + hostPath);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}
