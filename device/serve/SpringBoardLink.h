#pragma once
// SpringBoardLink: how the device's web server talks to the running SpringBoard: requests
// on its control channel, each with a bounded wait, so a busy or restarting SpringBoard
// never holds a browser's request (nor the server) for long.

#include "DeviceError.h"
#include "Supervisor.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

// A request SpringBoard refused, or that could not be made: the message says why.
class LinkError : public DeviceError {
public:
    using DeviceError::DeviceError;
};

class SpringBoardLink {
public:
    using Json = nlohmann::ordered_json;
    explicit SpringBoardLink(Supervisor& supervisor) : m_supervisor(supervisor) { }

    // SpringBoard's answer; nothing when SpringBoard restarted while it handled the request
    // (a respring), once its successor is ready. Throws LinkError.
    std::optional<Json> ask(const Json& request, double timeoutSeconds = 10);
    // Advances the virtual clock by `seconds`; a respring on the way carries the rest of
    // the wait into the new SpringBoard. Answers the clock's time after it.
    double advanceClock(double seconds);
    // The seconds left on the countdown in the status bar (nothing when no label counts).
    std::optional<double> countdownSeconds();

private:
    Supervisor& m_supervisor;
};
