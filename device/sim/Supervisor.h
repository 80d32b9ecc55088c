#pragma once
// The launchd stand-in of the simulated device. It starts the SpringBoard host of a
// device root and keeps it running:
// - SpringBoard checks in on the supervisor's control channel once it is ready;
// - a respring asked for on that channel (by sbreload) ends the running SpringBoard and
//   starts a fresh one, so every "once per SpringBoard start" decision is made again; the
//   requester is answered when the new SpringBoard has checked in;
// - a SpringBoard that ends without being asked to (a crash, a killall by hand) is noticed
//   and started again; one that keeps ending before it is ready is given up on, loudly.
// Each start and end is traced ("springboard-launch", "springboard-exit") and, with
// `announce`, said on standard error with the process id.
//
// Control channel (LocalSocket role "launchd"), one JSON request a line:
//   {"command":"checkin","pid":P}     SpringBoard P is ready          -> {"ok":true}
//   {"command":"respring","requester":P}  restart SpringBoard; answered once the new one
//                                     is ready                        -> {"ok":true,"pid":NEW}
//   {"command":"status"}              -> {"ok":true,"pid":P,"ready":B,"generation":N}
//
// The supervisor runs its own run loop on a thread of its own (start()/shutdown()), or on
// the calling thread (runInForeground(), for `kavlor-sim boot`).

#include "ControlServer.h"
#include "RunLoop.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

class Supervisor {
public:
    struct Options {
        bool virtualClock = true;
        bool announce = false;           // say each start and end on standard error
        double readySeconds = 15;        // how long a start may take before it counts as failed
        double stopSeconds = 3;          // SIGTERM, then SIGKILL after this long
        int maxFailedStarts = 3;         // consecutive ends before check-in, then give up
        int screenChangesFd = -1;        // handed to every SpringBoard (ScreenChangeSignal), when >= 0
    };
    struct Status {
        pid_t pid = 0;                   // the current SpringBoard (0: none)
        bool ready = false;              // it has checked in
        bool respringInFlight = false;
        int generation = 0;              // how many SpringBoards were started
        std::string failure;             // set when the supervisor gave up
    };

    // The device root is the environment's KAVLOR_DEVICE_ROOT (set it before).
    explicit Supervisor(Options options);
    ~Supervisor();
    Supervisor(const Supervisor&) = delete;
    Supervisor& operator=(const Supervisor&) = delete;

    // Boots the device on a thread of the supervisor's own: writes the clock file, opens the
    // control channel, starts SpringBoard and waits until it is ready. DeviceError, with
    // nothing left running, when the device cannot boot.
    void start();
    // Ends SpringBoard and the supervisor's thread. Safe to call twice.
    void shutdown();

    // Boots and runs on the calling thread until stopRequested() (a signal handler may call
    // requestStop()). Answers the exit status for the program.
    int runInForeground();
    void requestStop();

    Status status() const;
    // Waits until SpringBoard is ready and no respring is under way, and its pid is not
    // `notPid` (to wait out the end of a SpringBoard that was just seen to be gone).
    // DeviceError saying why when it does not come to that within the time.
    void waitUntilReady(double timeoutSeconds, pid_t notPid = 0);

private:
    void boot();
    void launchSpringBoard();
    void springBoardEnded();
    void checkIn(pid_t pid);
    void respring(pid_t requester, ControlServer::Reply reply);
    void stopSpringBoard();
    void stopWhenWaiting(pid_t pid, ClockTime deadline);
    void answerRespringWaiters(const ControlServer::Json& result);
    void failLoudly(const std::string& message);
    void say(const std::string& message) const;
    void setupControlChannel();

    Options m_options;
    std::string m_deviceRoot;
    RunLoop m_loop;
    ControlServer m_server { m_loop };
    std::thread m_thread;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    Status m_status;
    bool m_shuttingDown = false;
    bool m_loopRunning = false;

    // Loop-thread state.
    int m_pidFd = -1;
    RunLoop::SourceId m_pidSource = 0;
    RunLoop::TimerId m_readyTimer = 0;
    RunLoop::TimerId m_killTimer = 0;
    int m_failedStarts = 0;
    pid_t m_endedAsNotReady = 0;      // the SpringBoard the ready timer ended
    bool m_restartRequested = false;
    std::vector<ControlServer::Reply> m_respringWaiters;
    pid_t m_respringRequester = 0;
};
