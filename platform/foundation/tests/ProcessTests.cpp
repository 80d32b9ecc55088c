#include "NSTask.h"
#include "Process.h"
#include "Trace.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string readText(const std::filesystem::path& path)
{
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = std::filesystem::temp_directory_path() / ("process-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_root / "usr/bin");
        std::filesystem::create_directories(m_root / "Library/Kavlors");
        std::filesystem::create_directories(m_root / "out");
        setenv("KAVLOR_DEVICE_ROOT", m_root.c_str(), 1);
        setenv("PROCESS_TEST_UNRELATED", "1", 1);
        Trace::setSink([this](const std::string& event, const Trace::Fields& fields) {
            if (event == "spawn")
                m_spawns.push_back(fields);
            if (event == "spawn-failed")
                m_failures.push_back(fields);
        });
    }
    void TearDown() override
    {
        Trace::setSink(nullptr);
        unsetenv("KAVLOR_DEVICE_ROOT");
        unsetenv("PROCESS_TEST_UNRELATED");
        std::filesystem::remove_all(m_root);
    }

    // A program of the device: a shell script that records its arguments and environment
    // under out/ (by host path, so it works whatever environment it gets) and exits.
    void installDeviceProgram(const std::string& devicePathName, int exitStatus, const std::string& output = "")
    {
        auto path = m_root / devicePathName.substr(1);
        std::filesystem::create_directories(path.parent_path());
        std::string name = path.filename();
        std::ofstream script(path);
        script << "#!/bin/sh\n"
               << "echo \"$0 $*\" > '" << (m_root / "out" / (name + ".argv")).string() << "'\n"
               << "env > '" << (m_root / "out" / (name + ".env")).string() << "'\n";
        if (!output.empty())
            script << "printf '%s\\n' '" << output << "'\n";
        script << "exit " << exitStatus << "\n";
        script.close();
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }

    std::filesystem::path m_root;
    std::vector<Trace::Fields> m_spawns;
    std::vector<Trace::Fields> m_failures;
};

TEST_F(ProcessTest, RespringSpawnStartsTheDeviceProgramWithItsDeviceInTheEnvironment)
{
    installDeviceProgram("/usr/bin/sbreload", 3);
    pid_t pid = 0;
    char* const argv[] = { const_cast<char*>("sbreload"), nullptr };
    ASSERT_EQ(kv_posix_spawn(&pid, "/usr/bin/sbreload", nullptr, nullptr, argv, nullptr), 0);
    int status = 0;
    EXPECT_EQ(kv_waitpid(pid, &status, 4), pid); // the device's WEXITED: a blocking wait
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);

    std::string environment = readText(m_root / "out/sbreload.env");
    EXPECT_NE(environment.find("KAVLOR_DEVICE_ROOT=" + m_root.string() + "\n"), std::string::npos);
    EXPECT_NE(environment.find("PATH="), std::string::npos);
    EXPECT_EQ(environment.find("PROCESS_TEST_UNRELATED"), std::string::npos);
    EXPECT_EQ(m_spawns, (std::vector<Trace::Fields> { { { "path", "/usr/bin/sbreload" }, { "argv", "sbreload" } } }));
}

TEST_F(ProcessTest, AGivenEnvironmentIsKeptAndToldTheDevice)
{
    installDeviceProgram("/usr/bin/sbreload", 0);
    pid_t pid = 0;
    char* const argv[] = { const_cast<char*>("sbreload"), const_cast<char*>("--now"), nullptr };
    char* const envp[] = { const_cast<char*>("MODE=test"), nullptr };
    ASSERT_EQ(kv_posix_spawn(&pid, "/usr/bin/sbreload", nullptr, nullptr, argv, envp), 0);
    int status = -1;
    ASSERT_EQ(kv_waitpid(pid, &status, 0), pid);
    std::string environment = readText(m_root / "out/sbreload.env");
    EXPECT_NE(environment.find("MODE=test"), std::string::npos);
    EXPECT_NE(environment.find("KAVLOR_DEVICE_ROOT=" + m_root.string()), std::string::npos);
    EXPECT_NE(readText(m_root / "out/sbreload.argv").find("--now"), std::string::npos);
}

TEST_F(ProcessTest, MissingProgramAndUnknownWaitOptionsFailLoudly)
{
    pid_t pid = 0;
    char* const argv[] = { const_cast<char*>("sbreload"), nullptr };
    EXPECT_NE(kv_posix_spawn(&pid, "/usr/bin/sbreload", nullptr, nullptr, argv, nullptr), 0);
    ASSERT_EQ(m_spawns.size(), 1u) << "the attempt is traced before it is made";
    ASSERT_EQ(m_failures.size(), 1u);
    EXPECT_EQ(m_failures[0][0], (std::pair<std::string, std::string> { "path", "/usr/bin/sbreload" }));
    EXPECT_EQ(m_failures[0][1].first, "error");

    int status = 0;
    errno = 0;
    EXPECT_EQ(kv_waitpid(getpid(), &status, 0x40), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(kv_waitpid(-1, &status, 4 | 1), -1); // no child at all
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(ProcessTest, ShellCommandsResolveDevicePathsButLeaveOtherWords)
{
    std::string root = m_root.string();
    EXPECT_EQ(deviceShellCommand("/bin/rm /Library/Kavlors/HomeBackground.png"), "/bin/rm " + root + "/Library/Kavlors/HomeBackground.png");
    EXPECT_EQ(deviceShellCommand("/bin/cp  /var/a\t/tmp/b /usr /Libraryx/c"), "/bin/cp  " + root + "/var/a\t/tmp/b " + root + "/usr /Libraryx/c");
    EXPECT_EQ(deviceShellCommand("/bin/rm /var/x;ls /System/'y z'"), "/bin/rm /var/x;ls /System/'y z'");
    EXPECT_EQ(deviceShellCommand("/usr/bin/sbreload"), "/usr/bin/sbreload"); // not on this device: the host's
    installDeviceProgram("/usr/bin/sbreload", 0);
    EXPECT_EQ(deviceShellCommand(" /usr/bin/sbreload now"), " " + root + "/usr/bin/sbreload now");

    auto spaced = m_root / "a device's root";
    setenv("KAVLOR_DEVICE_ROOT", spaced.c_str(), 1);
    EXPECT_EQ(deviceShellCommand("/bin/rm /var/x"), "/bin/rm '" + root + "/a device'\\''s root/var/x'");
}

TEST_F(ProcessTest, PopenRunsTheCommandOnTheDeviceFiles)
{
    auto copy = m_root / "Library/Kavlors/LockBackground.png";
    std::ofstream(copy) << "png";
    FILE* pipe = kv_popen("/bin/rm /Library/Kavlors/LockBackground.png", "r");
    ASSERT_TRUE(pipe);
    EXPECT_EQ(kv_pclose(pipe), 0);
    EXPECT_FALSE(std::filesystem::exists(copy));
    pipe = kv_popen("/bin/rm /Library/Kavlors/LockBackground.png 2>/dev/null", "r");
    EXPECT_NE(kv_pclose(pipe), 0); // nothing left to remove

    installDeviceProgram("/usr/bin/sbreload", 0, "restarting SpringBoard");
    pipe = kv_popen("/usr/bin/sbreload", "r");
    ASSERT_TRUE(pipe);
    char line[1024] = {};
    ASSERT_TRUE(fgets(line, sizeof line, pipe));
    EXPECT_STREQ(line, "restarting SpringBoard\n");
    EXPECT_EQ(kv_pclose(pipe), 0);
    ASSERT_EQ(m_spawns.size(), 3u);
    EXPECT_EQ(m_spawns[0], (Trace::Fields { { "path", "/bin/rm" }, { "argv", "/bin/rm /Library/Kavlors/LockBackground.png" } }));
}

TEST_F(ProcessTest, TaskStartsTheDeviceProgramWithItsArguments)
{
    installDeviceProgram("/usr/bin/killall", 1);
    auto task = make<NSTask>();
    send<void>(task, "setLaunchPath:", "/usr/bin/killall"_ns);
    auto arguments = NSArray::mutableArray({ "Camera"_ns });
    send<void>(task, "setArguments:", arguments);
    arguments->addObject("ignored"_ns); // the task keeps its own copy
    send<void>(task, "launch");
    task->waitUntilExit();
    EXPECT_FALSE(task->isRunning());
    EXPECT_EQ(task->terminationStatus(), 1);
    EXPECT_EQ(readText(m_root / "out/killall.argv"), m_root.string() + "/usr/bin/killall Camera\n");
    EXPECT_NE(readText(m_root / "out/killall.env").find("PROCESS_TEST_UNRELATED=1"), std::string::npos);
    EXPECT_EQ(m_spawns, (std::vector<Trace::Fields> { { { "path", "/usr/bin/killall" }, { "argv", "/usr/bin/killall Camera" } } }));
    EXPECT_THROW(task->launch(), RuntimeError);
}

TEST_F(ProcessTest, TaskThatCannotStartEndsAtOnce)
{
    auto task = make<NSTask>();
    task->setLaunchPath("/usr/bin/killall"_ns);
    EXPECT_THROW(task->terminationStatus(), RuntimeError);
    EXPECT_FALSE(task->launch());
    task->waitUntilExit();
    EXPECT_EQ(task->terminationStatus(), 127);
    EXPECT_THROW(make<NSTask>()->launch(), RuntimeError); // no launch path
}

} // namespace
