#include "Supervisor.h"
#include "ProcFile.h"
#include "ArgumentVector.h"

#include "DeviceClock.h"
#include "DeviceFiles.h"
#include "DeviceRoot.h"
#include "DeviceTrace.h"
#include "LocalSocket.h"
#include "ProcessTable.h"
#include "ScreenChangeSignal.h"

#include <fmt/format.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

int openPidFd(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

// How long a SpringBoard that asked for its own respring may take to reach its wait.
constexpr Seconds kCallerSettle { 2 };
// What a start may take beyond the time SpringBoard is given to be ready (fork, exec, the
// end of the previous one being noticed) on a busy machine.
constexpr double kLaunchSlackSeconds = 5;

// Whether the process's main thread is inside wait4 or waitid (from /proc/PID/syscall).
bool isBlockedInWait(pid_t pid)
{
    std::istringstream in(readProcFile(fmt::format("/proc/{}/syscall", pid)).value_or(std::string()));
    long number = -1;
    if (!(in >> number))
        return false;
    return number == SYS_wait4 || number == SYS_waitid;
}

// Like launchd, SpringBoard starts with every signal at its default action and none
// blocked, whatever this process inherited (an ignored SIGTERM from a shell's trap would
// make each respring wait for the SIGKILL; an ignored SIGCHLD would let SpringBoard's
// wait for sbreload return at once). Only async-signal-safe calls: it runs between fork
// and exec.
void resetSignalsForChild()
{
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int number = 1; number < NSIG; ++number)
        ::sigaction(number, &defaultAction, nullptr);  // refused for SIGKILL, SIGSTOP and the C library's own
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

std::string describeWaitStatus(int status)
{
    if (WIFEXITED(status))
        return fmt::format("exited with status {}", WEXITSTATUS(status));
    if (WIFSIGNALED(status)) {
        const char* name = sigabbrev_np(WTERMSIG(status));
        return fmt::format("killed by signal {} (SIG{})", WTERMSIG(status), name ? name : "?");
    }
    return fmt::format("ended (wait status {})", status);
}

} // namespace

Supervisor::Supervisor(Options options)
    : m_options(options)
{
}

Supervisor::~Supervisor()
{
    shutdown();
}

void Supervisor::say(const std::string& message) const
{
    if (m_options.announce)
        std::fprintf(stderr, "kavlor-sim: %s\n", message.c_str());
}

void Supervisor::boot()
{
    m_deviceRoot = deviceRoot();
    std::string executable = devicePath(DeviceFiles::kSpringBoardExecutable);
    if (::access(executable.c_str(), X_OK) != 0)
        throw DeviceError(fmt::format("there is no SpringBoard host at {} (make the device with `kavlor-sim init {}`)", executable, m_deviceRoot));
    try {
        m_server.listen(LocalSocket::nameFor("launchd"));
    } catch (const DeviceError& error) {
        throw DeviceError(fmt::format("the device {} is already booted (another kavlor-sim supervises it): {}", m_deviceRoot, error.what()));
    }
    setupControlChannel();
    bool clockWritten = m_options.virtualClock ? DeviceClock::write({ DeviceClock::Kind::Virtual, 0 })
                                               : DeviceClock::write({ DeviceClock::Kind::Real, RealClock().now().time_since_epoch().count() });
    if (!clockWritten) {
        m_server.close();
        throw DeviceError(fmt::format("cannot write the device clock {}", devicePath(DeviceFiles::kClockFile)));
    }
    ProcessTable::list(); // clears the entries of a previous boot whose processes are gone
    m_loop.useRealClock();
    {
        std::lock_guard lock(m_mutex);
        m_status = Status {};
        m_shuttingDown = false;
    }
    DeviceTrace::write("boot", { { "clock", m_options.virtualClock ? "virtual" : "real" } });
}

void Supervisor::setupControlChannel()
{
    m_server.add("checkin", [this](const ControlServer::Json& request) {
        checkIn(request.at("pid").get<pid_t>());
        return ControlServer::Json::object();
    });
    m_server.addAsync("respring", [this](const ControlServer::Json& request, ControlServer::Reply reply) {
        respring(request.value("requester", 0), std::move(reply));
    });
    m_server.add("status", [this](const ControlServer::Json&) {
        auto current = status();
        return ControlServer::Json { { "pid", current.pid }, { "ready", current.ready }, { "generation", current.generation },
            { "respringInFlight", current.respringInFlight }, { "failure", current.failure } };
    });
}

void Supervisor::start()
{
    if (m_thread.joinable())
        throw DeviceError("the device is already booted by this supervisor");
    boot();
    {
        std::lock_guard lock(m_mutex);
        m_loopRunning = true;
    }
    m_thread = std::thread([this] {
        m_loop.enqueue([this] { launchSpringBoard(); });
        m_loop.run();
        std::lock_guard lock(m_mutex);
        m_loopRunning = false;
        m_changed.notify_all();
    });
    // Long enough for every start the supervisor makes before it gives up (each may take
    // readySeconds, then be ended), so that a device that cannot boot is told by the
    // supervisor's own message, which says why.
    double bootSeconds = (m_options.readySeconds + m_options.stopSeconds + kLaunchSlackSeconds) * (m_options.maxFailedStarts + 1);
    try {
        waitUntilReady(bootSeconds);
    } catch (const DeviceError&) {
        shutdown();
        throw;
    }
}

void Supervisor::shutdown()
{
    if (!m_thread.joinable())
        return;
    m_loop.enqueue([this] {
        {
            std::lock_guard lock(m_mutex);
            m_shuttingDown = true;
        }
        if (status().pid)
            stopSpringBoard();
        else
            m_loop.stop();
    });
    m_thread.join();
    m_server.close();
    DeviceTrace::write("shutdown");
}

int Supervisor::runInForeground()
{
    try {
        boot();
    } catch (const DeviceError& error) {
        std::fprintf(stderr, "kavlor-sim: %s\n", error.what());
        return 1;
    }
    m_loop.enqueue([this] { launchSpringBoard(); });
    m_loop.run();
    bool gaveUp = !status().failure.empty();
    if (status().pid) {
        // Stopped by a signal: end SpringBoard and wait for it before leaving.
        {
            std::lock_guard lock(m_mutex);
            m_shuttingDown = true;
        }
        stopSpringBoard();
        m_loop.run();
    }
    m_server.close();
    DeviceTrace::write("shutdown");
    return gaveUp ? 1 : 0;
}

void Supervisor::requestStop()
{
    m_loop.stop();
}

Supervisor::Status Supervisor::status() const
{
    std::lock_guard lock(m_mutex);
    return m_status;
}

void Supervisor::waitUntilReady(double timeoutSeconds, pid_t notPid)
{
    std::unique_lock lock(m_mutex);
    bool settled = m_changed.wait_for(lock, std::chrono::duration<double>(timeoutSeconds), [&] {
        return !m_status.failure.empty() || !m_loopRunning
            || (m_status.ready && !m_status.respringInFlight && m_status.pid != 0 && m_status.pid != notPid);
    });
    if (!m_status.failure.empty())
        throw DeviceError(m_status.failure);
    if (!m_loopRunning)
        throw DeviceError("the supervisor has stopped");
    if (!settled)
        throw DeviceError(fmt::format("SpringBoard was not ready within {} s (pid {}, {}{})", timeoutSeconds, m_status.pid,
            m_status.ready ? "checked in" : "not checked in", m_status.respringInFlight ? ", respring under way" : ""));
}

void Supervisor::launchSpringBoard()
{
    std::string executable = devicePath(DeviceFiles::kSpringBoardExecutable);
    // Everything the child needs is made before fork: between fork and exec the child of
    // a threaded process may only make async-signal-safe calls.
    ArgumentVector environment = ArgumentVector::environmentWithout({ "KAVLOR_DEVICE_ROOT", ScreenChangeSignal::kEnvironmentName });
    environment.add("KAVLOR_DEVICE_ROOT=" + m_deviceRoot);
    int screenChangesFd = m_options.screenChangesFd;
    if (screenChangesFd >= 0)
        environment.add(fmt::format("{}={}", ScreenChangeSignal::kEnvironmentName, screenChangesFd));
    ArgumentVector arguments({ executable });
    // Taken before the fork: the child may only make async-signal-safe calls.
    char* const* argv = arguments.data();
    char* const* envp = environment.data();
    pid_t parent = ::getpid();
    // The child waits on this pipe until its launch is in the trace, so that the trace
    // tells the launch before anything the new SpringBoard does.
    int gate[2];
    if (::pipe2(gate, O_CLOEXEC) != 0) {
        failLoudly(fmt::format("cannot start SpringBoard: pipe: {}", std::strerror(errno)));
        return;
    }

    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(gate[0]);
        ::close(gate[1]);
        failLoudly(fmt::format("cannot start SpringBoard: fork: {}", std::strerror(errno)));
        return;
    }
    if (pid == 0) {
        // SpringBoard must not outlive its supervisor: the device ends with the run.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
        resetSignalsForChild();
        ::close(gate[1]);
        char go;
        while (::read(gate[0], &go, 1) < 0 && errno == EINTR) { }
        ::dup2(STDERR_FILENO, STDOUT_FILENO);  // a scenario's standard output stays the runner's own
        if (screenChangesFd >= 0)
            ::fcntl(screenChangesFd, F_SETFD, 0);  // SpringBoard's only: it is closed on exec everywhere else
        ::execve(argv[0], argv, envp);
        const char message[] = "kavlor-sim: cannot execute the SpringBoard host\n";
        ssize_t ignored = ::write(STDERR_FILENO, message, sizeof message - 1);
        (void)ignored;
        ::_exit(127);
    }

    m_pidFd = openPidFd(pid);
    if (m_pidFd < 0) {
        // Without the watch nobody would see this SpringBoard end: it is not left running
        // unsupervised, and the failure is said, not swallowed.
        int error = errno;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ::close(gate[0]);
        ::close(gate[1]);
        failLoudly(fmt::format("cannot watch SpringBoard (pid {}): pidfd_open: {}", pid, std::strerror(error)));
        return;
    }
    m_pidSource = m_loop.addFdSource(m_pidFd, [this] { springBoardEnded(); });
    ProcessTable::add(pid, "SpringBoard");
    int generation;
    {
        std::lock_guard lock(m_mutex);
        m_status.pid = pid;
        m_status.ready = false;
        generation = ++m_status.generation;
    }
    m_changed.notify_all();
    DeviceTrace::write("springboard-launch", { { "springboard", pid }, { "generation", generation } });
    say(fmt::format("started SpringBoard (pid {})", pid));
    ::close(gate[0]);
    ::close(gate[1]);  // the child reads end of file and goes on
    m_readyTimer = m_loop.addTimer(Seconds(m_options.readySeconds), [this, pid] {
        if (status().pid == pid && !status().ready) {
            say(fmt::format("SpringBoard (pid {}) was not ready after {} s; ending it", pid, m_options.readySeconds));
            m_endedAsNotReady = pid;
            ::kill(pid, SIGKILL);
        }
    });
}

void Supervisor::springBoardEnded()
{
    pid_t pid = status().pid;
    int waitStatus = 0;
    if (pid <= 0)
        return;
    pid_t reaped = ::waitpid(pid, &waitStatus, WNOHANG);
    if (reaped == 0)
        return;  // not ended after all
    bool statusKnown = reaped == pid;
    m_loop.removeFdSource(m_pidSource);
    ::close(m_pidFd);
    m_pidFd = -1;
    m_loop.cancelTimer(m_readyTimer);
    m_loop.cancelTimer(m_killTimer);
    ProcessTable::remove(pid);

    bool wasReady, shuttingDown;
    {
        std::lock_guard lock(m_mutex);
        wasReady = m_status.ready;
        shuttingDown = m_shuttingDown;
        m_status.pid = 0;
        m_status.ready = false;
    }
    m_changed.notify_all();
    bool expected = shuttingDown || m_restartRequested;
    std::string how = statusKnown ? describeWaitStatus(waitStatus) : "ended (its status was collected elsewhere)";
    if (m_endedAsNotReady == pid)
        how = fmt::format("was not ready after {} s and was ended", m_options.readySeconds);
    m_endedAsNotReady = 0;
    DeviceTrace::write("springboard-exit", { { "springboard", pid }, { "status", how }, { "expected", expected } });

    if (shuttingDown) {
        say(fmt::format("SpringBoard (pid {}) {}; the device is off", pid, how));
        answerRespringWaiters(ControlServer::failure("the device is shutting down"));
        m_loop.stop();
        return;
    }
    if (!expected)
        say(fmt::format("SpringBoard (pid {}) {} unexpectedly; starting a new one", pid, how));
    m_failedStarts = wasReady ? 0 : m_failedStarts + 1;
    if (m_failedStarts >= m_options.maxFailedStarts) {
        failLoudly(fmt::format("SpringBoard ended {} times in a row before it was ready (last: pid {} {}); "
                               "not starting it again (its messages are above, the trace is {})",
            m_failedStarts, pid, how, devicePath(DeviceFiles::kTraceFile)));
        return;
    }
    m_restartRequested = false;
    launchSpringBoard();
}

void Supervisor::checkIn(pid_t pid)
{
    {
        std::lock_guard lock(m_mutex);
        if (pid != m_status.pid)
            throw ControlError(fmt::format("pid {} is not the SpringBoard this supervisor started (pid {})", pid, m_status.pid));
        m_status.ready = true;
        m_status.respringInFlight = false;
    }
    m_loop.cancelTimer(m_readyTimer);
    m_failedStarts = 0;
    m_changed.notify_all();
    say(fmt::format("SpringBoard (pid {}) is ready", pid));
    answerRespringWaiters(ControlServer::Json { { "pid", pid } });
}

void Supervisor::respring(pid_t requester, ControlServer::Reply reply)
{
    Status current = status();
    if (!current.failure.empty() || (!current.pid && !current.respringInFlight)) {
        reply(ControlServer::failure(current.failure.empty() ? "no SpringBoard is running" : current.failure));
        return;
    }
    m_respringWaiters.push_back(std::move(reply));
    if (current.respringInFlight)
        return;  // one restart answers every request made while it runs
    {
        std::lock_guard lock(m_mutex);
        m_status.respringInFlight = true;
    }
    m_changed.notify_all();
    m_restartRequested = true;
    m_respringRequester = requester;
    DeviceTrace::write("respring", { { "springboard", current.pid }, { "requester", requester } });
    say(fmt::format("respring asked for by pid {}: ending SpringBoard (pid {})", requester, current.pid));
    if (requester == current.pid)
        stopWhenWaiting(current.pid, RealClock().now() + kCallerSettle);
    else
        stopSpringBoard();
}

// SpringBoard asked for its own respring: it spawned sbreload and is about to wait for
// it. It is ended once its main thread sits in that wait, so that what it does between
// the spawn and the wait (tracing the spawn) is done, as on a device where the wait has
// begun long before launchd acts.
void Supervisor::stopWhenWaiting(pid_t pid, ClockTime deadline)
{
    if (status().pid != pid)
        return;
    if (isBlockedInWait(pid) || RealClock().now() >= deadline) {
        stopSpringBoard();
        return;
    }
    m_loop.addTimer(Seconds(0.001), [this, pid, deadline] { stopWhenWaiting(pid, deadline); });
}

void Supervisor::stopSpringBoard()
{
    pid_t pid = status().pid;
    if (!pid)
        return;
    ::kill(pid, SIGTERM);
    m_loop.cancelTimer(m_killTimer);
    m_killTimer = m_loop.addTimer(Seconds(m_options.stopSeconds), [this, pid] {
        if (status().pid == pid) {
            say(fmt::format("SpringBoard (pid {}) ignored SIGTERM for {} s; killing it", pid, m_options.stopSeconds));
            ::kill(pid, SIGKILL);
        }
    });
}

void Supervisor::answerRespringWaiters(const ControlServer::Json& result)
{
    auto waiters = std::move(m_respringWaiters);
    m_respringWaiters.clear();
    for (auto& reply : waiters)
        reply(result);
}

void Supervisor::failLoudly(const std::string& message)
{
    std::fprintf(stderr, "kavlor-sim: %s\n", message.c_str());
    {
        std::lock_guard lock(m_mutex);
        m_status.failure = message;
        m_status.respringInFlight = false;
    }
    m_changed.notify_all();
    DeviceTrace::write("supervisor-failure", { { "message", message } });
    answerRespringWaiters(ControlServer::failure(message));
}
