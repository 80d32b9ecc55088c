// Settings shared with other, real processes: the writer program runs beside the test
// under the same device root.

#include "SettingsTestSupport.h"

#include <algorithm>
#include <csignal>
#include <memory>
#include <optional>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>

extern char** environ;

namespace {

using SettingsBetweenProcessesTest = SettingsTest;

constexpr Seconds kDeliveryTimeoutSeconds { 10.0 };

class WriterProcess {
public:
    explicit WriterProcess(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> all { CEPHEI_SETTINGS_WRITER };
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& argument : all)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        m_spawnError = posix_spawn(&m_pid, argv[0], nullptr, nullptr, argv.data(), environ);
        if (m_spawnError == 0)
            m_exitFd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
    }
    ~WriterProcess()
    {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_exitFd >= 0)
            ::close(m_exitFd);
    }

    bool started() const { return m_spawnError == 0 && m_exitFd >= 0; }

    // Whether the process has ended (reaped, without blocking).
    bool finished()
    {
        if (m_status)
            return true;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_status = status;
        return m_status.has_value();
    }
    // Waits for the end without running the main loop.
    int exitCode()
    {
        if (!m_status) {
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_status = status;
        }
        return WIFEXITED(*m_status) ? WEXITSTATUS(*m_status) : -1;
    }
    // Readable once the process has ended, so the main run loop can wait for it.
    int exitFd() const { return m_exitFd; }

private:
    pid_t m_pid { -1 };
    int m_spawnError { 0 };
    int m_exitFd { -1 };
    std::optional<int> m_status;
};

// Runs the main loop (so Darwin deliveries arrive while the writers post) until every
// writer has ended. Each exit wakes the loop once: its source removes itself.
bool runMainLoopUntilFinished(std::vector<WriterProcess*> writers)
{
    std::vector<std::shared_ptr<RunLoop::SourceId>> sources;
    for (WriterProcess* writer : writers) {
        auto source = std::make_shared<RunLoop::SourceId>();
        *source = RunLoop::main().addFdSource(writer->exitFd(), [source] { RunLoop::main().removeFdSource(*source); });
        sources.push_back(source);
    }
    bool finished = RunLoop::main().runUntil(
        [&] { return std::all_of(writers.begin(), writers.end(), [](WriterProcess* w) { return w->finished(); }); },
        kDeliveryTimeoutSeconds * 3);
    for (const auto& source : sources)
        RunLoop::main().removeFdSource(*source);
    return finished;
}

TEST_F(SettingsBetweenProcessesTest, AnotherProcessWriteIsReadAtOnceAndBoundAtDelivery)
{
    auto settings = HBPreferences::preferencesForIdentifier(m_identifier);
    bool isKavlorActive = false;
    id activeUser;
    settings->registerBool(&isKavlorActive, false, "isKavlorActive");
    settings->registerObject(&activeUser, nil, "activeUser");

    WriterProcess guestChosen({ m_identifier, "set-string", "activeUser", "Guest" });
    ASSERT_TRUE(guestChosen.started());
    ASSERT_EQ(guestChosen.exitCode(), 0);
    WriterProcess activated({ m_identifier, "set-bool", "isKavlorActive", "YES" });
    ASSERT_EQ(activated.exitCode(), 0);

    EXPECT_TRUE(settings->boolForKey("isKavlorActive")) << "the next read sees the other process's write";
    EXPECT_EQ(describe(settings->objectForKey("activeUser")), "Guest");
    EXPECT_FALSE(isKavlorActive) << "bound variables change only on the main run loop";
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return isKavlorActive && bool(activeUser); }, kDeliveryTimeoutSeconds));
    EXPECT_EQ(describe(activeUser), "Guest");

    WriterProcess ended({ m_identifier, "remove", "activeUser" });
    ASSERT_EQ(ended.exitCode(), 0);
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return !activeUser; }, kDeliveryTimeoutSeconds)) << "removal goes back to the default";
}

TEST_F(SettingsBetweenProcessesTest, ConcurrentWritersOfDifferentKeysLoseNothing)
{
    constexpr int kKeysEach = 60;
    auto settings = HBPreferences::preferencesForIdentifier(m_identifier);
    settings->setObject("before"_ns, "existing");
    id lastOfFirst;
    settings->registerObject(&lastOfFirst, nil, "first" + std::to_string(kKeysEach - 1));

    WriterProcess first({ m_identifier, "write-many", "first", std::to_string(kKeysEach) });
    WriterProcess second({ m_identifier, "write-many", "second", std::to_string(kKeysEach) });
    ASSERT_TRUE(first.started() && second.started());
    ASSERT_TRUE(runMainLoopUntilFinished({ &first, &second }));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(second.exitCode(), 0);

    Id<NSDictionary> all = settings->dictionaryRepresentation();
    EXPECT_EQ(all->count(), 2u * kKeysEach + 1);
    for (int i = 0; i < kKeysEach; ++i) {
        for (const char* prefix : { "first", "second" }) {
            auto value = all->objectForKey(prefix + std::to_string(i)).as<NSNumber>();
            ASSERT_TRUE(value) << prefix << i << " was lost";
            EXPECT_EQ(value->integerValue(), i);
        }
    }
    EXPECT_TRUE(isEqual(all->objectForKey("existing"), "before"_ns));
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return bool(lastOfFirst); }, kDeliveryTimeoutSeconds));
    EXPECT_TRUE(isEqual(lastOfFirst, NSNumber::numberWithInteger(kKeysEach - 1)));
}

} // namespace
