#pragma once
// ScreenChangeSignal: how SpringBoard tells the device's web server that what its screen
// shows has changed, the moment it happens, without ever waiting for the server.
//
// The server makes an eventfd (a counter in the kernel) and the supervisor hands it to
// every SpringBoard it starts, its number in the environment (kEnvironmentName).
// SpringBoard adds one to the counter at most once a run-loop turn in which something it
// shows changed (ScreenChanges' listener); the write never blocks, and the counter only
// adds up while nobody reads it. The server waits on the fd and draws. A SpringBoard
// started without a server has no fd: its changes are only counted.

#include <string>

class ScreenChangeSignal {
public:
    static constexpr const char* kEnvironmentName = "KAVLOR_SCREEN_CHANGES_FD";

    // The server's end: a fresh eventfd, closed on exec (the supervisor opens it only for
    // SpringBoard). DeviceError when none can be made.
    ScreenChangeSignal();
    ~ScreenChangeSignal();
    ScreenChangeSignal(const ScreenChangeSignal&) = delete;
    ScreenChangeSignal& operator=(const ScreenChangeSignal&) = delete;

    int fd() const { return m_fd; }
    // Waits up to `timeoutSeconds` for SpringBoard's news; answers whether something changed
    // since the last call (however many turns told it).
    bool wait(double timeoutSeconds);

    // SpringBoard's end: the eventfd its supervisor handed it (made close-on-exec, so the
    // programs SpringBoard starts do not hold it), or -1 when there is none. A variable
    // that names no eventfd is said on standard error and left alone.
    static int inheritedFd();
    // Adds one to the counter; never blocks, never fails loudly (a server that went away
    // simply hears nothing).
    static void tell(int fd);

private:
    int m_fd = -1;
};
