#include "ControlServer.h"

#include "DeviceTrace.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

// Replies waiting for a client that does not read them are kept up to this much; past it
// the client is dropped, so that it can neither block the loop nor fill its memory.
constexpr std::size_t kMaxPendingReplyBytes = std::size_t(4) << 20;

struct ControlServer::Connection {
    Connection(int fd, LocalSocket::Peer peer) : line(fd), peer(peer) { }
    LineConnection line;
    LocalSocket::Peer peer;
    RunLoop::SourceId source = 0;
    RunLoop::SourceId writeSource = 0;  // while replies wait to be sent
    std::string pending;                // replies not yet taken by the client
    bool open = true;
};

ControlServer::ControlServer(RunLoop& loop)
    : m_loop(loop)
{
}

ControlServer::~ControlServer()
{
    close();
}

void ControlServer::listen(const std::string& socketName)
{
    close();
    m_socketName = socketName;
    m_listenFd = LocalSocket::listenOn(socketName);
    m_listenSource = m_loop.addFdSource(m_listenFd, [this] { accept(); });
}

void ControlServer::close()
{
    for (auto& [fd, connection] : m_connections) {
        m_loop.removeFdSource(connection->source);
        m_loop.removeFdSource(connection->writeSource);
        connection->open = false;
    }
    m_connections.clear();
    if (m_listenFd >= 0) {
        m_loop.removeFdSource(m_listenSource);
        ::close(m_listenFd);
        m_listenFd = -1;
    }
}

void ControlServer::add(const std::string& command, Handler handler)
{
    m_handlers[command] = [handler = std::move(handler)](const Json& request, Reply reply) { reply(handler(request)); };
}

void ControlServer::addAsync(const std::string& command, AsyncHandler handler)
{
    m_handlers[command] = std::move(handler);
}

void ControlServer::accept()
{
    int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    auto peer = LocalSocket::peerOf(fd);
    if (!peer || !LocalSocket::isTrusted(*peer)) {
        DeviceTrace::write("control-client-refused", { { "channel", m_socketName }, { "pid", peer ? peer->pid : 0 },
            { "uid", peer ? static_cast<long long>(peer->uid) : -1 }, { "reason", "neither this process's user nor root" } });
        ::close(fd);
        return;
    }
    auto connection = std::make_shared<Connection>(fd, *peer);
    m_connections[fd] = connection;
    std::weak_ptr<Connection> weak = connection;
    connection->source = m_loop.addFdSource(fd, [this, weak] {
        if (auto connection = weak.lock())
            serve(connection);
    });
}

void ControlServer::serve(const std::shared_ptr<Connection>& connection)
{
    bool stillOpen = connection->line.readAvailable();
    while (connection->open) {
        auto line = connection->line.nextLine();
        if (!line)
            break;
        std::weak_ptr<Connection> weak = connection;
        handleLine(*line, [this, weak](Json result) {
            auto target = weak.lock();
            if (target && target->open)
                send(target, result.dump(-1, ' ', false, Json::error_handler_t::replace));
        });
    }
    if (connection->open && connection->line.isOverlong()) {
        drop(connection, fmt::format("a request longer than {} bytes", kMaxLineBytes));
        return;
    }
    if (!stillOpen)
        drop(connection);
}

void ControlServer::send(const std::shared_ptr<Connection>& connection, const std::string& reply)
{
    connection->pending += reply;
    connection->pending += '\n';
    flush(connection);
}

// Sends what the client takes without blocking; the rest waits for the socket to become
// writable, up to kMaxPendingReplyBytes.
void ControlServer::flush(const std::shared_ptr<Connection>& connection)
{
    if (!connection->line.sendAvailable(connection->pending)) {
        drop(connection);
        return;
    }
    if (connection->pending.size() > kMaxPendingReplyBytes) {
        drop(connection, fmt::format("it left {} bytes of replies unread", connection->pending.size()));
        return;
    }
    if (connection->pending.empty() && connection->writeSource) {
        m_loop.removeFdSource(connection->writeSource);
        connection->writeSource = 0;
    } else if (!connection->pending.empty() && !connection->writeSource) {
        std::weak_ptr<Connection> weak = connection;
        connection->writeSource = m_loop.addFdWriteSource(connection->line.fd(), [this, weak] {
            if (auto target = weak.lock(); target && target->open)
                flush(target);
        });
    }
}

void ControlServer::drop(const std::shared_ptr<Connection>& connection, const std::string& reason)
{
    if (!connection->open)
        return;
    if (!reason.empty()) {
        DeviceTrace::write("control-client-dropped", { { "channel", m_socketName }, { "pid", connection->peer.pid }, { "reason", reason } });
    }
    connection->open = false;
    m_loop.removeFdSource(connection->source);
    m_loop.removeFdSource(connection->writeSource);
    connection->writeSource = 0;
    m_connections.erase(connection->line.fd());
}

void ControlServer::handleLine(const std::string& line, Reply reply)
{
    // Every reply goes out once, as {"ok":true,...} unless the handler said otherwise.
    auto answered = std::make_shared<bool>(false);
    Reply once = [answered, reply = std::move(reply)](Json result) {
        if (*answered)
            return;
        *answered = true;
        if (!result.is_object())
            result = Json::object();
        if (!result.contains("ok")) {
            Json complete { { "ok", true } };
            complete.update(result);
            result = std::move(complete);
        }
        reply(std::move(result));
    };

    auto request = Json::parse(line, nullptr, false);
    if (request.is_discarded() || !request.is_object() || !request.contains("command") || !request["command"].is_string()) {
        once(failure(fmt::format("not a request (a JSON object with a \"command\" string): {}", line)));
        return;
    }
    std::string command = request["command"];
    auto handler = m_handlers.find(command);
    if (handler == m_handlers.end()) {
        once(failure(fmt::format("unknown command \"{}\"", command)));
        return;
    }
    try {
        handler->second(request, once);
    } catch (const ControlError& error) {
        once(failure(error.what()));
    } catch (const nlohmann::json::exception& error) {
        once(failure(fmt::format("bad arguments for \"{}\": {}", command, error.what())));
    } catch (const std::exception& error) {
        once(failure(fmt::format("\"{}\" failed: {}", command, error.what())));
    }
}

ControlClient::Result ControlClient::request(const std::string& socketName, const Json& request, double timeoutSeconds)
{
    Result result;
    int fd = -1;
    try {
        fd = LocalSocket::connectTo(socketName, timeoutSeconds);
    } catch (const LocalSocket::ConnectTimedOut& error) {
        result.status = Status::TimedOut;
        result.error = error.what();
        return result;
    } catch (const DeviceError& error) {
        result.status = Status::NoServer;
        result.error = error.what();
        return result;
    }
    LineConnection connection(fd);
    if (!connection.sendLine(request.dump(), timeoutSeconds)) {
        result.status = Status::Dropped;
        result.error = "the connection closed before the request was sent";
        return result;
    }
    bool closed = false;
    auto line = connection.receiveLine(timeoutSeconds, closed);
    if (!line) {
        result.status = closed ? Status::Dropped : Status::TimedOut;
        result.error = closed ? "the connection closed before an answer came" : fmt::format("no answer within {} s", timeoutSeconds);
        return result;
    }
    auto reply = Json::parse(*line, nullptr, false);
    if (reply.is_discarded() || !reply.is_object()) {
        result.status = Status::Answered;
        result.reply = ControlServer::failure(fmt::format("an answer that is not a JSON object: {}", *line));
        return result;
    }
    result.status = Status::Answered;
    result.reply = std::move(reply);
    return result;
}
