#pragma once
// Unix stream sockets between the processes of one simulated device. Socket paths are
// limited to 108 bytes and device roots can be long, so the sockets live in the abstract
// namespace under a name made from a hash of the device root: two devices never meet,
// and a socket vanishes with the process that held it (no stale files after a crash).

#include <cstddef>
#include <optional>
#include <string>
#include <sys/types.h>

#include "DeviceError.h"

namespace LocalSocket {

// "kavlor-<16 hex digits of the device root's hash>-<role>".
std::string nameFor(const std::string& role);
std::string nameFor(const std::string& role, const std::string& deviceRoot);

// Nobody listens under the name (no server, or it is gone).
class NobodyListens : public DeviceError {
public:
    using DeviceError::DeviceError;
};
// The server's queue of connections stayed full for the whole time-out.
class ConnectTimedOut : public DeviceError {
public:
    using DeviceError::DeviceError;
};

// A listening socket (close-on-exec). DeviceError when it cannot be made ("address in use"
// when another process of this device already listens under that name).
int listenOn(const std::string& name);
// A connected socket. NobodyListens, ConnectTimedOut (the connection waits at most
// `timeoutSeconds` for a server whose queue of connections is full) or DeviceError.
int connectTo(const std::string& name, double timeoutSeconds = 30);

// Who is at the other end of a connected socket, as the kernel tells (SO_PEERCRED).
struct Peer {
    pid_t pid = 0;
    uid_t uid = 0;
};
std::optional<Peer> peerOf(int fd);
// The device's channels serve only their own user and root: another local user must not
// make a root-run SpringBoard post notifications or move its clock.
bool isTrusted(const Peer& peer);

} // namespace LocalSocket

// The longest line either side of a channel takes (requests and replies are far shorter);
// a peer that sends more without a line feed is cut off rather than buffered without end.
inline constexpr std::size_t kMaxLineBytes = std::size_t(1) << 20;

// One JSON-lines conversation over a connected stream socket: each message is one line.
// Owns the descriptor.
class LineConnection {
public:
    explicit LineConnection(int fd) : m_fd(fd) { }
    ~LineConnection();
    LineConnection(const LineConnection&) = delete;
    LineConnection& operator=(const LineConnection&) = delete;

    int fd() const { return m_fd; }
    // Writes the whole line (a line feed is added) within `timeoutSeconds`. False when the
    // peer is gone or did not take it in time.
    bool sendLine(const std::string& line, double timeoutSeconds);
    // Writes as much of `pending` as the socket takes now, without blocking, and removes
    // it from `pending`. False when the peer is gone.
    bool sendAvailable(std::string& pending);
    // Reads what is there without blocking; false when the peer closed the connection
    // (complete lines already read are still handed out by nextLine()). Reading stops
    // once kMaxLineBytes are buffered without a line feed: see isOverlong().
    bool readAvailable();
    // The peer sent more than kMaxLineBytes without ending the line.
    bool isOverlong() const;
    // The next complete line read so far.
    std::optional<std::string> nextLine();
    // Waits up to `timeoutSeconds` for a complete line. Nothing on end of file or timeout;
    // `closed` tells which.
    std::optional<std::string> receiveLine(double timeoutSeconds, bool& closed);

private:
    int m_fd;
    std::string m_buffer;
};
