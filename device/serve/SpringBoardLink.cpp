#include "SpringBoardLink.h"

#include "ControlServer.h"
#include "LocalSocket.h"

#include <fmt/format.h>

#include <cstdio>

namespace {

constexpr double kReadySeconds = 20;

// Waits for a ready SpringBoard (not `notPid`), telling why there is none as a LinkError.
void waitForSpringBoard(Supervisor& supervisor, pid_t notPid, const std::string& otherwise)
{
    try {
        supervisor.waitUntilReady(kReadySeconds, notPid);
    } catch (const DeviceError& error) {
        throw LinkError(fmt::format("{}: {}", otherwise, error.what()));
    }
}

} // namespace

std::optional<SpringBoardLink::Json> SpringBoardLink::ask(const Json& request, double timeoutSeconds)
{
    waitForSpringBoard(m_supervisor, 0, "SpringBoard is not running");
    pid_t asked = m_supervisor.status().pid;
    auto result = ControlClient::request(LocalSocket::nameFor("springboard"), request, timeoutSeconds);
    switch (result.status) {
    case ControlClient::Status::Answered:
        if (!result.ok())
            throw LinkError(result.reply.value("error", std::string("SpringBoard refused the request")));
        return result.reply;
    case ControlClient::Status::TimedOut:
        throw LinkError(fmt::format("SpringBoard (pid {}) did not answer within {} s", asked, timeoutSeconds));
    case ControlClient::Status::NoServer:
    case ControlClient::Status::Dropped:
        waitForSpringBoard(m_supervisor, asked, fmt::format("SpringBoard (pid {}) ended and no new SpringBoard became ready", asked));
        return std::nullopt;
    }
    return std::nullopt;
}

double SpringBoardLink::advanceClock(double seconds)
{
    auto now = ask(Json { { "command", "ping" } });
    double target = (now ? now->value("time", 0.0) : 0.0) + seconds;
    for (int round = 0; round < 20; ++round) {
        if (auto reply = ask(Json { { "command", "wait" }, { "until", target } }, 60))
            return reply->value("time", target);
        auto after = ask(Json { { "command", "ping" } });
        if (after && after->value("time", 0.0) >= target)
            return after->value("time", target);
    }
    throw LinkError("SpringBoard restarted 20 times during one wait");
}

std::optional<double> SpringBoardLink::countdownSeconds()
{
    auto reply = ask(Json { { "command", "countdown" } });
    if (!reply || !reply->value("label", false) || !reply->value("timer", false))
        return std::nullopt;
    std::string text = reply->value("text", std::string());
    int minutes = 0, secondsPart = 0;
    char colon = 0;
    if (std::sscanf(text.c_str(), "%d%c%d", &minutes, &colon, &secondsPart) != 3 || colon != ':')
        return std::nullopt;
    return minutes * 60.0 + secondsPart;
}
