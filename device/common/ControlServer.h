#pragma once
// The control channels of the device's processes: JSON requests and replies, one a line,
// over an abstract-namespace stream socket (LocalSocket), served from a run loop.
//
// A request is an object with "command" and its arguments:   {"command":"wait","seconds":5}
// A reply is {"ok":true, ...results} or {"ok":false,"error":"what went wrong"}.
// Requests on one connection are answered in order; a connection may carry many.
//
// A channel serves its own user and root only (the peer's credentials are checked at
// connection). The loop is never held up by a client: replies go out without blocking,
// and a client that leaves more than 4 MiB of replies unread, or sends a line longer
// than kMaxLineBytes, is dropped, which the trace says ("control-client-dropped").

#include "LocalSocket.h"
#include "RunLoop.h"

#include <nlohmann/json.hpp>

#include <functional>
#include "DeviceError.h"

#include <map>
#include <memory>
#include <stdexcept>
#include <string>

// Thrown by a handler to answer {"ok":false,"error":message}.
class ControlError : public DeviceError {
public:
    using DeviceError::DeviceError;
};

class ControlServer {
public:
    using Json = nlohmann::ordered_json;
    // Sends the reply to the requester (once; later calls and a gone requester are ignored).
    using Reply = std::function<void(Json result)>;
    // Answers at once: the returned object's fields are added to {"ok":true}.
    using Handler = std::function<Json(const Json& request)>;
    // Answers when it is ready, from any later turn of the run loop.
    using AsyncHandler = std::function<void(const Json& request, Reply reply)>;

    explicit ControlServer(RunLoop& loop);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // DeviceError when the name cannot be listened on (another process listens under it).
    void listen(const std::string& socketName);
    void close();

    void add(const std::string& command, Handler handler);
    void addAsync(const std::string& command, AsyncHandler handler);

    // Answers one request line as the server would (for tests and in-process callers).
    void handleLine(const std::string& line, Reply reply);

    static Json failure(const std::string& message) { return Json { { "ok", false }, { "error", message } }; }

private:
    struct Connection;
    void accept();
    void serve(const std::shared_ptr<Connection>& connection);
    void send(const std::shared_ptr<Connection>& connection, const std::string& reply);
    void flush(const std::shared_ptr<Connection>& connection);
    // Closes the connection; a reason says in the trace why the client was cut off.
    void drop(const std::shared_ptr<Connection>& connection, const std::string& reason = {});

    RunLoop& m_loop;
    std::string m_socketName;
    int m_listenFd = -1;
    RunLoop::SourceId m_listenSource = 0;
    std::map<std::string, AsyncHandler> m_handlers;
    std::map<int, std::shared_ptr<Connection>> m_connections;
};

// The requesting side, blocking.
class ControlClient {
public:
    using Json = nlohmann::ordered_json;
    enum class Status {
        Answered,   // `reply` holds the answer (ok or not)
        NoServer,   // nobody listens under that name
        Dropped,    // the server closed the connection before answering (it ended)
        TimedOut,
    };
    struct Result {
        Status status = Status::NoServer;
        Json reply;
        std::string error;
        bool ok() const { return status == Status::Answered && reply.value("ok", false); }
    };

    static Result request(const std::string& socketName, const Json& request, double timeoutSeconds);
};
