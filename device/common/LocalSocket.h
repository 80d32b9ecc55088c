#pragma once
// Unix stream sockets between the processes of one simulated device. Socket paths are
// limited to 108 bytes and device roots can be long, so the sockets live in the abstract
// namespace under a name made from a hash of the device root: two devices never meet,
// and a socket vanishes with the process that held it (no stale files after a crash).

#include <optional>
#include <string>

namespace LocalSocket {

// "kavlor-<16 hex digits of the device root's hash>-<role>".
std::string nameFor(const std::string& role);
std::string nameFor(const std::string& role, const std::string& deviceRoot);

// A listening socket (close-on-exec), or -1 with `error` set ("address in use" when
// another process of this device already listens under that name).
int listenOn(const std::string& name, std::string& error);
// A connected socket, or -1 with `error` set.
int connectTo(const std::string& name, std::string& error);

} // namespace LocalSocket

// One JSON-lines conversation over a connected stream socket: each message is one line.
// Owns the descriptor.
class LineConnection {
public:
    explicit LineConnection(int fd) : m_fd(fd) { }
    ~LineConnection();
    LineConnection(const LineConnection&) = delete;
    LineConnection& operator=(const LineConnection&) = delete;

    int fd() const { return m_fd; }
    // Writes the whole line (a line feed is added). False when the peer is gone.
    bool sendLine(const std::string& line);
    // Reads what is there without blocking; false when the peer closed the connection
    // (complete lines already read are still handed out by nextLine()).
    bool readAvailable();
    // The next complete line read so far.
    std::optional<std::string> nextLine();
    // Waits up to `timeoutSeconds` for a complete line. Nothing on end of file or timeout;
    // `closed` tells which.
    std::optional<std::string> receiveLine(double timeoutSeconds, bool& closed);

private:
    int m_fd;
    std::string m_buffer;
};
