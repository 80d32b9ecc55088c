#pragma once
// The Darwin notification centre: bare names posted by one process and delivered to
// observers in every process of the same device root (KAVLOR_DEVICE_ROOT).
//
// Design
// - A process that observes opens one unix datagram socket, bound in the abstract
//   namespace (no file, no 108-byte path limit) under a name made of its pid and a random
//   token, and leaves an entry of the same name in the registry folder
//   devicePath("/var/run/darwin-notify") (DarwinObserverRegistry). It does so on its
//   first observer, and removes the entry when it exits.
// - Posting sends one datagram holding the name to every entry of the registry, this
//   process included. A poster needs no run loop, so command-line tools just post. An
//   entry whose socket is gone (its process died without cleaning up) is refused by the
//   kernel at once; the poster deletes it and carries on: no delay, no error.
// - The socket is an fd source of RunLoop::main(), so callbacks run on the thread that
//   runs the main loop, in the order the datagrams arrived (a poster's posts keep their
//   order). drainPendingNow() delivers whatever has arrived, synchronously, so a
//   controller can wait until a post has settled without running the loop.
// - Everything received in one read is one batch. A Coalesce observer is called once per
//   distinct name of a batch; the other behaviours are called once per post (a process
//   here is never suspended, so Drop, Hold and DeliverImmediately all deliver).
// - A datagram socket's queue is short (net.unix.max_dgram_qlen). Posting to this very
//   process with a full queue moves the queue into memory first; posting to another
//   process whose queue stays full for kFullQueueWaitSeconds is reported on standard
//   error and that process misses the post.
// - A forked child starts with no observers (it shares nothing with the parent's socket).
//
// Every post and every callback is traced: by default as a Trace event "notification"
// with the fields centre "darwin", name, direction "post" or "deliver"; setTraceHook()
// replaces that.

#include "CFNotificationCenter.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

class DarwinNotifyCenter {
public:
    using TraceHook = std::function<void(const std::string& centre, const std::string& name, const std::string& direction)>;

    static constexpr std::size_t kMaxNameLength = 1023;
    static constexpr double kFullQueueWaitSeconds = 2.0;

    static DarwinNotifyCenter& shared();
    CFNotificationCenterRef ref();

    // Registers a callback for `name`. The same (observer, callback, name) twice is one
    // registration. Answers false (with a message) when the name is unusable or this
    // process cannot listen.
    bool addObserver(const void* observer, CFNotificationCallback callback, const std::string& name,
        CFNotificationSuspensionBehavior behavior);
    // Removes `observer`'s registrations for `name`, or for every name when null.
    void removeObserver(const void* observer, const char* name);
    std::size_t observerCount() const;

    // Sends `name` to every observing process of the current device root. Answers how
    // many processes it reached, or -1 when the name was refused.
    int post(const std::string& name);

    // Delivers everything this process has received so far; answers how many callbacks ran.
    int drainPendingNow();

    // The registry entry of this process while it listens ("" when it does not).
    std::string registryEntry() const;

    static void setTraceHook(TraceHook hook);

    // Drops every observer and stops listening (registry entry removed, socket closed).
    void resetForTesting();

private:
    struct Observer {
        const void* observer;
        CFNotificationCallback callback;
        std::string name;
        CFNotificationSuspensionBehavior behavior;
    };
    enum class SendResult { Sent, Gone, Failed };

    DarwinNotifyCenter() = default;
    void forgetInheritedStateLocked();
    bool startListeningLocked();
    void stopListeningLocked();
    void readSocketLocked();
    bool isStillRegistered(const Observer& observer) const;
    SendResult sendTo(const std::string& entry, const std::string& name);
    SendResult sendWaitingForRoom(const std::string& socketName, const std::string& name);
    int sendSocket();
    static void trace(const std::string& name, const char* direction);
    static void removeRegistryEntryAtExit();

    mutable std::mutex m_mutex;
    std::vector<Observer> m_observers;
    std::deque<std::string> m_received;
    pid_t m_owner = 0;           // the process the state below belongs to
    int m_socket = -1;
    std::uint64_t m_source = 0;  // RunLoop source id
    std::string m_entry;
    std::string m_registryFolder;
    int m_sendSocket = -1;
    pid_t m_sendSocketOwner = 0;
};
