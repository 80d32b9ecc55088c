#pragma once
// SpringBoard's control channel (LocalSocket role "springboard"): how the scenario runner
// acts on the running SpringBoard and waits for the effects to settle. Every request is
// handled on SpringBoard's main thread, between two turns of its main run loop, and is
// answered only once what it caused has settled: queued blocks run, Darwin notifications
// that had arrived delivered, local observers called.
//
//   {"command":"ping"}                       -> {"pid":P,"time":T}
//   {"command":"settle"}                     -> {"time":T}
//   {"command":"wait","seconds":S}           -> {"time":T}  (virtual clock: timers fire in order)
//   {"command":"wait","until":T}             -> {"time":T}  (the same, to an absolute time)
//   {"command":"post-local","name":N}        -> {}          (default centre, no object, no user info)
//   {"command":"observe-local","name":N}     -> {}          (then "observed" events for N)
//   {"command":"hooks"}                      -> {"hooks":[{"class","selector","kind","library"}...]}
//
// A request that ends in a respring is never answered: SpringBoard is ended while it
// waits for sbreload, and the requester sees the connection close.
//
// More commands (the UI's) are added with add() by whoever owns them, one entry each.

#include "ControlServer.h"

class SpringBoardApp;

// The SpringBoard of this process, for a command that acts on it; ControlError when it has
// not launched.
SpringBoardApp& runningSpringBoard();

class HostControl {
public:
    explicit HostControl(ControlServer& server);
    void add(const std::string& command, ControlServer::Handler handler) { m_server.add(command, std::move(handler)); }

    // Runs until nothing is pending: queued blocks, due timers, arrived Darwin posts.
    static void settle();

private:
    void addCoreCommands();
    ControlServer& m_server;
};
