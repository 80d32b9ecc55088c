#include "DarwinNotifyCenter.h"

#include "DarwinObserverRegistry.h"
#include "RunLoop.h"
#include "Trace.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <poll.h>
#include <random>
#include <set>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

// The handle CoreFoundation callers hold; there is one centre, so it only has an address.
struct CFNotificationCenterOpaque {
    const char* kind;
};

namespace {

CFNotificationCenterOpaque darwinCenterHandle{"darwin"};

std::mutex traceMutex;
std::optional<DarwinNotifyCenter::TraceHook> traceHook;  // unset: the platform trace

struct AbstractAddress {
    sockaddr_un address{};
    socklen_t length = 0;
};

AbstractAddress abstractAddress(const std::string& socketName)
{
    AbstractAddress result;
    result.address.sun_family = AF_UNIX;
    result.address.sun_path[0] = '\0';
    std::size_t size = std::min(socketName.size(), sizeof result.address.sun_path - 1);
    std::memcpy(result.address.sun_path + 1, socketName.data(), size);
    result.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + size);
    return result;
}

std::uint64_t randomToken()
{
    std::uint64_t token = 0;
    if (::getrandom(&token, sizeof token, 0) == static_cast<ssize_t>(sizeof token))
        return token;
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

bool isQueueFull(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

bool isReceiverGone(int error)
{
    return error == ECONNREFUSED || error == ENOENT;
}

}

DarwinNotifyCenter& DarwinNotifyCenter::shared()
{
    // Never destroyed: observers may be posted to while other statics are torn down.
    static DarwinNotifyCenter* center = new DarwinNotifyCenter();
    return *center;
}

CFNotificationCenterRef DarwinNotifyCenter::ref()
{
    return &darwinCenterHandle;
}

// --- Observers -------------------------------------------------------------------------

bool DarwinNotifyCenter::addObserver(const void* observer, CFNotificationCallback callback, const std::string& name,
    CFNotificationSuspensionBehavior behavior)
{
    if (!callback) {
        std::fprintf(stderr, "darwin notify: an observer for \"%s\" was given no callback; not registered\n", name.c_str());
        return false;
    }
    if (name.empty() || name.size() > kMaxNameLength) {
        std::fprintf(stderr, "darwin notify: cannot observe a notification name of %zu bytes (1 to %zu allowed)\n",
            name.size(), kMaxNameLength);
        return false;
    }
    std::lock_guard lock(m_mutex);
    forgetInheritedStateLocked();
    if (m_socket < 0 && !startListeningLocked())
        return false;
    for (const Observer& existing : m_observers) {
        if (existing.observer == observer && existing.callback == callback && existing.name == name)
            return true;
    }
    m_observers.push_back(Observer{observer, callback, name, behavior});
    return true;
}

void DarwinNotifyCenter::removeObserver(const void* observer, const char* name)
{
    std::lock_guard lock(m_mutex);
    forgetInheritedStateLocked();
    std::erase_if(m_observers, [&](const Observer& entry) {
        return entry.observer == observer && (!name || entry.name == name);
    });
}

std::size_t DarwinNotifyCenter::observerCount() const
{
    std::lock_guard lock(m_mutex);
    return m_owner == ::getpid() ? m_observers.size() : 0;
}

std::string DarwinNotifyCenter::registryEntry() const
{
    std::lock_guard lock(m_mutex);
    return m_owner == ::getpid() ? m_entry : std::string();
}

// --- Listening -------------------------------------------------------------------------

void DarwinNotifyCenter::forgetInheritedStateLocked()
{
    if (m_owner == 0 || m_owner == ::getpid())
        return;
    // A forked child: the socket, the registry entry and the observers are the parent's.
    if (m_socket >= 0)
        ::close(m_socket);
    if (m_source)
        RunLoop::main().removeFdSource(m_source);
    m_socket = -1;
    m_source = 0;
    m_entry.clear();
    m_registryFolder.clear();
    m_observers.clear();
    m_received.clear();
    m_owner = 0;
}

bool DarwinNotifyCenter::startListeningLocked()
{
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        std::fprintf(stderr, "darwin notify: cannot open a socket to receive notifications: %s\n", std::strerror(errno));
        return false;
    }
    std::string entry = DarwinObserverRegistry::makeEntryName(::getpid(), randomToken());
    AbstractAddress address = abstractAddress(DarwinObserverRegistry::socketNameOf(entry));
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address.address), address.length) != 0) {
        std::fprintf(stderr, "darwin notify: cannot bind the notification socket %s: %s\n",
            DarwinObserverRegistry::socketNameOf(entry).c_str(), std::strerror(errno));
        ::close(fd);
        return false;
    }
    // The entry is written only once the socket exists, so a poster who sees it can send.
    DarwinObserverRegistry registry = DarwinObserverRegistry::forCurrentDeviceRoot();
    if (!registry.add(entry)) {
        ::close(fd);
        return false;
    }
    m_socket = fd;
    m_entry = entry;
    m_registryFolder = registry.folder();
    m_owner = ::getpid();
    m_source = RunLoop::main().addFdSource(fd, [] { DarwinNotifyCenter::shared().drainPendingNow(); });

    static bool exitHookInstalled = false;
    if (!exitHookInstalled) {
        std::atexit(removeRegistryEntryAtExit);
        exitHookInstalled = true;
    }
    return true;
}

void DarwinNotifyCenter::stopListeningLocked()
{
    if (m_source)
        RunLoop::main().removeFdSource(m_source);
    if (m_socket >= 0)
        ::close(m_socket);
    if (!m_entry.empty())
        DarwinObserverRegistry(m_registryFolder).remove(m_entry);
    m_source = 0;
    m_socket = -1;
    m_entry.clear();
    m_registryFolder.clear();
}

void DarwinNotifyCenter::removeRegistryEntryAtExit()
{
    DarwinNotifyCenter& center = shared();
    std::lock_guard lock(center.m_mutex);
    if (center.m_owner != ::getpid())
        return;  // a forked child exiting must not unregister its parent
    if (center.m_socket >= 0)
        ::close(center.m_socket);
    if (!center.m_entry.empty())
        DarwinObserverRegistry(center.m_registryFolder).remove(center.m_entry);
    center.m_socket = -1;
    center.m_entry.clear();
}

void DarwinNotifyCenter::readSocketLocked()
{
    if (m_socket < 0)
        return;
    char buffer[kMaxNameLength + 1];
    while (true) {
        ssize_t size = ::recv(m_socket, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC);
        if (size < 0) {
            if (errno == EINTR)
                continue;
            if (!isQueueFull(errno))
                std::fprintf(stderr, "darwin notify: reading notifications failed: %s\n", std::strerror(errno));
            return;
        }
        if (size == 0)
            continue;
        if (static_cast<std::size_t>(size) > kMaxNameLength) {
            std::fprintf(stderr, "darwin notify: dropped a notification of %zd bytes (names are at most %zu)\n", size,
                kMaxNameLength);
            continue;
        }
        m_received.emplace_back(buffer, static_cast<std::size_t>(size));
    }
}

// --- Delivery --------------------------------------------------------------------------

int DarwinNotifyCenter::drainPendingNow()
{
    std::deque<std::string> batch;
    std::vector<Observer> observers;
    {
        std::lock_guard lock(m_mutex);
        forgetInheritedStateLocked();
        readSocketLocked();
        batch.swap(m_received);
        observers = m_observers;
    }
    int calls = 0;
    std::set<std::pair<std::size_t, std::string>> coalesced;
    for (const std::string& name : batch) {
        for (std::size_t i = 0; i < observers.size(); ++i) {
            const Observer& observer = observers[i];
            if (observer.name != name)
                continue;
            if (observer.behavior == CFNotificationSuspensionBehaviorCoalesce && !coalesced.insert({i, name}).second)
                continue;
            if (!isStillRegistered(observer))
                continue;  // removed by an earlier callback of this batch
            trace(name, "deliver");
            observer.callback(ref(), const_cast<void*>(observer.observer), name.c_str(), nullptr, nullptr);
            ++calls;
        }
    }
    return calls;
}

bool DarwinNotifyCenter::isStillRegistered(const Observer& observer) const
{
    std::lock_guard lock(m_mutex);
    for (const Observer& entry : m_observers) {
        if (entry.observer == observer.observer && entry.callback == observer.callback && entry.name == observer.name)
            return true;
    }
    return false;
}

// --- Posting ---------------------------------------------------------------------------

int DarwinNotifyCenter::post(const std::string& name)
{
    if (name.empty() || name.size() > kMaxNameLength) {
        std::fprintf(stderr, "darwin notify: cannot post a notification name of %zu bytes (1 to %zu allowed)\n",
            name.size(), kMaxNameLength);
        return -1;
    }
    trace(name, "post");
    DarwinObserverRegistry registry = DarwinObserverRegistry::forCurrentDeviceRoot();
    int reached = 0;
    for (const std::string& entry : registry.entries()) {
        switch (sendTo(entry, name)) {
        case SendResult::Sent:
            ++reached;
            break;
        case SendResult::Gone:
            registry.remove(entry);
            break;
        case SendResult::Failed:
            break;
        }
    }
    return reached;
}

int DarwinNotifyCenter::sendSocket()
{
    std::lock_guard lock(m_mutex);
    if (m_sendSocketOwner != ::getpid()) {
        m_sendSocket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        m_sendSocketOwner = ::getpid();
        if (m_sendSocket < 0)
            std::fprintf(stderr, "darwin notify: cannot open a socket to post notifications: %s\n", std::strerror(errno));
    }
    return m_sendSocket;
}

DarwinNotifyCenter::SendResult DarwinNotifyCenter::sendTo(const std::string& entry, const std::string& name)
{
    int fd = sendSocket();
    if (fd < 0)
        return SendResult::Failed;
    std::string socketName = DarwinObserverRegistry::socketNameOf(entry);
    AbstractAddress address = abstractAddress(socketName);
    auto attempt = [&] {
        return ::sendto(fd, name.data(), name.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
            reinterpret_cast<const sockaddr*>(&address.address), address.length);
    };
    if (attempt() >= 0)
        return SendResult::Sent;
    if (isReceiverGone(errno))
        return SendResult::Gone;
    if (!isQueueFull(errno)) {
        std::fprintf(stderr, "darwin notify: cannot post \"%s\" to observer %s: %s\n", name.c_str(), entry.c_str(),
            std::strerror(errno));
        return SendResult::Failed;
    }
    bool toThisProcess;
    {
        std::lock_guard lock(m_mutex);
        toThisProcess = m_owner == ::getpid() && entry == m_entry;
        if (toThisProcess)
            readSocketLocked();  // our own queue is full: keep what waits in memory
    }
    if (toThisProcess && attempt() >= 0)
        return SendResult::Sent;
    return sendWaitingForRoom(socketName, name);
}

DarwinNotifyCenter::SendResult DarwinNotifyCenter::sendWaitingForRoom(const std::string& socketName,
    const std::string& name)
{
    // Connected, the socket can be polled for room in that one receiver's queue.
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        std::fprintf(stderr, "darwin notify: cannot open a socket to post \"%s\": %s\n", name.c_str(), std::strerror(errno));
        return SendResult::Failed;
    }
    AbstractAddress address = abstractAddress(socketName);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address.address), address.length) != 0) {
        int error = errno;
        ::close(fd);
        return isReceiverGone(error) ? SendResult::Gone : SendResult::Failed;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(kFullQueueWaitSeconds);
    SendResult result = SendResult::Failed;
    while (true) {
        if (::send(fd, name.data(), name.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) {
            result = SendResult::Sent;
            break;
        }
        if (isReceiverGone(errno)) {
            result = SendResult::Gone;
            break;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (!isQueueFull(errno) || left.count() <= 0) {
            std::fprintf(stderr, "darwin notify: observer %s did not take \"%s\" within %g s (%s); it misses this post\n",
                socketName.c_str(), name.c_str(), kFullQueueWaitSeconds,
                isQueueFull(errno) ? "its queue stays full" : std::strerror(errno));
            break;
        }
        pollfd room{fd, POLLOUT, 0};
        ::poll(&room, 1, static_cast<int>(left.count()));
    }
    ::close(fd);
    return result;
}

// --- Tracing and tests -----------------------------------------------------------------

void DarwinNotifyCenter::setTraceHook(TraceHook hook)
{
    std::lock_guard lock(traceMutex);
    traceHook = std::move(hook);
}

void DarwinNotifyCenter::trace(const std::string& name, const char* direction)
{
    std::optional<TraceHook> hook;
    {
        std::lock_guard lock(traceMutex);
        hook = traceHook;
    }
    if (!hook) {
        Trace::emit("notification", {{"centre", "darwin"}, {"name", name}, {"direction", direction}});
        return;
    }
    if (*hook)
        (*hook)("darwin", name, direction);
}

void DarwinNotifyCenter::resetForTesting()
{
    std::lock_guard lock(m_mutex);
    forgetInheritedStateLocked();
    stopListeningLocked();
    m_observers.clear();
    m_received.clear();
    m_owner = 0;
}
