#include "LocalSocket.h"

#include "DeviceRoot.h"

#include <fmt/format.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <algorithm>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace LocalSocket {

namespace {

// FNV-1a, 64 bits: stable across builds and processes, which std::hash is not bound to be.
std::uint64_t hashOf(const std::string& text)
{
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

socklen_t abstractAddress(const std::string& name, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    // sun_path[0] == 0 marks the abstract namespace; the name follows without a terminator.
    size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

} // namespace

std::string nameFor(const std::string& role, const std::string& root)
{
    return fmt::format("kavlor-{:016x}-{}", hashOf(root), role);
}

std::string nameFor(const std::string& role)
{
    return nameFor(role, deviceRoot());
}

int listenOn(const std::string& name)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw DeviceError(fmt::format("socket: {}", std::strerror(errno)));
    sockaddr_un address;
    socklen_t length = abstractAddress(name, address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 16) != 0) {
        int failure = errno;
        ::close(fd);
        throw DeviceError(failure == EADDRINUSE ? fmt::format("the address @{} is in use by another process", name)
                                                : fmt::format("cannot listen on @{}: {}", name, std::strerror(failure)));
    }
    return fd;
}

int connectTo(const std::string& name, double timeoutSeconds)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw DeviceError(fmt::format("socket: {}", std::strerror(errno)));
    // A local stream connect waits, for a server that does not accept, as long as the
    // socket's send time-out.
    timeoutSeconds = std::clamp(timeoutSeconds, 0.0, 1e6);
    timeval limit {};
    limit.tv_sec = static_cast<time_t>(timeoutSeconds);
    limit.tv_usec = static_cast<suseconds_t>((timeoutSeconds - static_cast<double>(limit.tv_sec)) * 1e6);
    if (limit.tv_sec <= 0 && limit.tv_usec < 1000)
        limit = timeval { 0, 1000 };  // zero would mean no limit at all
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_un address;
    socklen_t length = abstractAddress(name, address);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        int failure = errno;
        ::close(fd);
        if (failure == ECONNREFUSED)
            throw NobodyListens(fmt::format("nobody listens on @{}", name));
        if (failure == EAGAIN || failure == EINPROGRESS)
            throw ConnectTimedOut(fmt::format("@{} took no connection within {} s", name, timeoutSeconds));
        throw DeviceError(fmt::format("cannot connect to @{}: {}", name, std::strerror(failure)));
    }
    return fd;
}

std::optional<Peer> peerOf(int fd)
{
    ucred credentials {};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return std::nullopt;
    return Peer { credentials.pid, credentials.uid };
}

bool isTrusted(const Peer& peer)
{
    return peer.uid == 0 || peer.uid == ::geteuid();
}

} // namespace LocalSocket

LineConnection::~LineConnection()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool LineConnection::sendLine(const std::string& line, double timeoutSeconds)
{
    std::string pending = line + "\n";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    for (;;) {
        if (!sendAvailable(pending))
            return false;
        if (pending.empty())
            return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return false;
        pollfd waiter { m_fd, POLLOUT, 0 };
        ::poll(&waiter, 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
    }
}

bool LineConnection::sendAvailable(std::string& pending)
{
    size_t sent = 0;
    while (sent < pending.size()) {
        ssize_t count = ::send(m_fd, pending.data() + sent, pending.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (count <= 0)
            return false;
        sent += static_cast<size_t>(count);
    }
    pending.erase(0, sent);
    return true;
}

bool LineConnection::isOverlong() const
{
    return m_buffer.size() > kMaxLineBytes && m_buffer.find('\n') == std::string::npos;
}

bool LineConnection::readAvailable()
{
    char buffer[8192];
    for (;;) {
        // Enough for now: the caller takes the lines out, or cuts off a peer whose line
        // is longer than any request (isOverlong()).
        if (m_buffer.size() > kMaxLineBytes)
            return true;
        ssize_t count = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (count > 0) {
            m_buffer.append(buffer, static_cast<size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        return false;  // 0: end of file; other errors: the peer is gone
    }
}

std::optional<std::string> LineConnection::nextLine()
{
    size_t newline = m_buffer.find('\n');
    if (newline == std::string::npos)
        return std::nullopt;
    std::string line = m_buffer.substr(0, newline);
    m_buffer.erase(0, newline + 1);
    return line;
}

std::optional<std::string> LineConnection::receiveLine(double timeoutSeconds, bool& closed)
{
    closed = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    for (;;) {
        if (auto line = nextLine())
            return line;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return std::nullopt;
        pollfd waiter { m_fd, POLLIN, 0 };
        int ready = ::poll(&waiter, 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
        if (ready < 0 && errno != EINTR)
            return std::nullopt;
        if (ready > 0 && !readAvailable()) {
            if (auto line = nextLine())
                return line;
            closed = true;
            return std::nullopt;
        }
        if (isOverlong()) {
            closed = true;
            return std::nullopt;
        }
    }
}
