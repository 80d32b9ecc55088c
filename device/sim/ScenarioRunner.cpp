#include "ScenarioRunner.h"

#include "ChildProcess.h"
#include "ControlServer.h"
#include "DeviceFiles.h"
#include "DeviceRoot.h"
#include "DeviceTrace.h"
#include "LocalSocket.h"
#include "TraceStory.h"

#include <fmt/format.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace {

// Real-time bounds for waiting on processes; a healthy device needs a small part of them.
constexpr double kReadySeconds = 30;
constexpr double kRequestSeconds = 60;
// A request that keeps ending in a respring this many times in a row is a fault.
constexpr int kMaxRestartsPerRequest = 20;
// Rounds of settling (SpringBoard, then the processes it started) before giving up.
constexpr int kMaxSettleRounds = 200;

std::string hostTracePath(const std::string& root)
{
    return root + DeviceFiles::kTraceFile;
}

std::string absoluteRoot(const std::string& root)
{
    std::error_code error;
    auto path = std::filesystem::absolute(root, error).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

ScenarioRunner::ScenarioRunner(std::string deviceRoot, Options options, std::ostream& out, std::ostream& err)
    : m_deviceRoot(absoluteRoot(deviceRoot))
    , m_options(std::move(options))
    , m_out(out)
    , m_err(err)
    , m_trace(hostTracePath(m_deviceRoot), true)
{
    ::setenv("KAVLOR_DEVICE_ROOT", m_deviceRoot.c_str(), 1);
    DeviceTrace::install("kavlor-sim");
}

ScenarioRunner::~ScenarioRunner()
{
    finish();
}

void ScenarioRunner::finish()
{
    if (m_supervisor) {
        m_supervisor->shutdown();
        m_supervisor.reset();
        collectTrace(true);
    }
}

// --- running scripts ---------------------------------------------------------------------

void ScenarioRunner::validate(const std::vector<ScenarioLine>& lines) const
{
    for (const auto& line : lines) {
        const ScenarioCommand* command = findScenarioCommand(line.words[0]);
        if (!command)
            throw ScriptSyntaxError(line.number, fmt::format("unknown command \"{}\" (kavlor-sim run --help lists them)", line.words[0]));
        int count = static_cast<int>(line.words.size()) - 1;
        if (count < command->minArguments || (command->maxArguments >= 0 && count > command->maxArguments))
            throw ScriptSyntaxError(line.number, fmt::format("wrong number of words for {}: usage: {}", command->name, command->usage));
        if (command->check) {
            try {
                command->check(std::vector<std::string>(line.words.begin() + 1, line.words.end()));
            } catch (const ScenarioFailure& failure) {
                throw ScriptSyntaxError(line.number, failure.what());
            }
        }
    }
}

std::string ScenarioRunner::failureMessage(const ScenarioLine& line, const std::string& what, const std::string& sourceName) const
{
    return fmt::format("{}:{}: {}\n  {}", sourceName, line.number, line.text, what);
}

int ScenarioRunner::runScript(const std::string& source, const std::string& sourceName)
{
    std::vector<ScenarioLine> lines;
    try {
        lines = parseScenario(source);
        validate(lines);
    } catch (const ScriptSyntaxError& error) {
        m_err << fmt::format("kavlor-sim run: {}:{}: {}\n", sourceName, error.line(), error.what());
        return 2;
    }
    for (const auto& line : lines) {
        try {
            runLine(line);
        } catch (const ScenarioFailure& failure) {
            m_out.flush();
            m_err << "kavlor-sim run: FAILED at " << failureMessage(line, failure.what(), sourceName) << "\n";
            finish();
            return 1;
        }
    }
    finish();
    m_err << fmt::format("kavlor-sim run: {}: {} commands run, {} expectations met\n", sourceName, lines.size(), m_expectationsMet);
    return 0;
}

int ScenarioRunner::runInteractive(std::istream& in)
{
    std::string text;
    int failures = 0;
    m_err << "kavlor-sim> " << std::flush;
    for (int number = 1; std::getline(in, text); ++number) {
        try {
            auto words = splitScenarioWords(text, number);
            if (!words.empty()) {
                ScenarioLine line { number, text, words };
                validate({ line });
                runLine(line);
            }
        } catch (const ScriptSyntaxError& error) {
            ++failures;
            m_err << "kavlor-sim: " << error.what() << "\n";
        } catch (const ScenarioFailure& failure) {
            ++failures;
            m_err << "kavlor-sim: " << failure.what() << "\n";
        }
        m_out.flush();
        m_err << "kavlor-sim> " << std::flush;
    }
    m_err << "\n";
    finish();
    return failures ? 1 : 0;
}

void ScenarioRunner::runLine(const ScenarioLine& line)
{
    const ScenarioCommand* command = findScenarioCommand(line.words[0]);
    if (!command)
        throw ScenarioFailure(fmt::format("unknown command \"{}\"", line.words[0]));
    collectTrace(true);
    if (m_options.echoCommands)
        m_out << (m_options.pretty ? fmt::format("\n-- line {}: {}\n", line.number, line.text) : fmt::format("# line {}: {}\n", line.number, line.text));
    std::vector<std::string> arguments(line.words.begin() + 1, line.words.end());
    if (command->actsWith ? command->actsWith(arguments) : command->isAction) {
        m_lastActionStart = m_events.size();
        m_lastAction = line;
        m_pidBeforeLastAction = springBoardPid();
    }
    try {
        command->run(*this, arguments);
    } catch (const ScenarioFailure&) {
        collectTrace(true);
        throw;
    } catch (const std::exception& error) {
        // Anything else that stops a line (a word no request can carry, a file system
        // error) fails the line like a missed expectation, so the run ends with the line
        // named and the device stopped instead of aborting.
        collectTrace(true);
        throw ScenarioFailure(fmt::format("the line could not be carried out: {}", error.what()));
    }
    collectTrace(true);
}

// --- the trace ---------------------------------------------------------------------------

void ScenarioRunner::collectTrace(bool print)
{
    for (auto& event : m_trace.readNew()) {
        if (print && m_options.showTrace) {
            if (m_options.story) {
                if (auto line = storyLine(event))
                    m_out << *line << "\n";
            } else {
                m_out << (m_options.pretty ? prettyTraceEvent(event) : event.dump(-1, ' ', false, Json::error_handler_t::replace)) << "\n";
            }
        }
        m_events.push_back(std::move(event));
    }
    m_out.flush();
}

const std::vector<ScenarioRunner::Json>& ScenarioRunner::events()
{
    collectTrace(true);
    return m_events;
}

std::vector<ScenarioRunner::Json> ScenarioRunner::eventsSinceLastAction()
{
    collectTrace(true);
    return std::vector<Json>(m_events.begin() + static_cast<long>(std::min(m_lastActionStart, m_events.size())), m_events.end());
}

// --- the device --------------------------------------------------------------------------

void ScenarioRunner::requireBooted(const std::string& what) const
{
    if (!m_supervisor)
        throw ScenarioFailure(fmt::format("{} needs a running device: add `boot` before this line", what));
}

void ScenarioRunner::boot()
{
    if (m_supervisor)
        throw ScenarioFailure("the device is already booted");
    Supervisor::Options options;
    options.virtualClock = true;
    auto supervisor = std::make_unique<Supervisor>(options);
    try {
        supervisor->start();
    } catch (const DeviceError& error) {
        throw ScenarioFailure(fmt::format("the device did not boot: {}", error.what()));
    }
    m_supervisor = std::move(supervisor);
    settle();
}

void ScenarioRunner::shutdown()
{
    if (!m_supervisor)
        throw ScenarioFailure("the device is not booted");
    m_supervisor->shutdown();
    m_supervisor.reset();
}

pid_t ScenarioRunner::springBoardPid() const
{
    return m_supervisor ? m_supervisor->status().pid : 0;
}

std::optional<ScenarioRunner::Json> ScenarioRunner::askSpringBoard(const Json& request)
{
    requireBooted(request.value("command", std::string("this")));
    waitForSpringBoard(0, "SpringBoard is not running");
    pid_t asked = m_supervisor->status().pid;
    auto result = ControlClient::request(LocalSocket::nameFor("springboard"), request, kRequestSeconds);
    switch (result.status) {
    case ControlClient::Status::Answered:
        if (!result.ok())
            throw ScenarioFailure(fmt::format("SpringBoard refused {}: {}", request.dump(), result.reply.value("error", std::string("?"))));
        settle();
        return result.reply;
    case ControlClient::Status::TimedOut:
        throw ScenarioFailure(fmt::format("SpringBoard (pid {}) did not answer {} within {} s", asked, request.dump(), kRequestSeconds));
    case ControlClient::Status::NoServer:
    case ControlClient::Status::Dropped:
        // SpringBoard ended while it handled the request (a respring, or it was killed):
        // the effects settle once its successor is ready.
        waitForSpringBoard(asked, fmt::format("SpringBoard (pid {}) ended and no new SpringBoard became ready", asked));
        settle();
        return std::nullopt;
    }
    return std::nullopt;
}

void ScenarioRunner::waitForSpringBoard(pid_t notPid, const std::string& otherwise)
{
    try {
        m_supervisor->waitUntilReady(kReadySeconds, notPid);
    } catch (const DeviceError& error) {
        throw ScenarioFailure(fmt::format("{}: {}", otherwise, error.what()));
    }
}

void ScenarioRunner::settle()
{
    if (!m_supervisor)
        return;
    pid_t gone = 0;
    int restarts = 0;
    for (int round = 0; round < kMaxSettleRounds; ++round) {
        waitForSpringBoard(gone, "SpringBoard is not running");
        pid_t asked = m_supervisor->status().pid;
        auto result = ControlClient::request(LocalSocket::nameFor("springboard"), Json { { "command", "settle" } }, kRequestSeconds);
        if (result.ok()) {
            // What SpringBoard started and left running (a kill task) is part of the
            // effect: wait for it to end, then let SpringBoard handle what it caused.
            auto children = liveChildrenOf(asked);
            if (children.empty())
                return;
            if (!waitForProcessesToEnd(children, kRequestSeconds))
                throw ScenarioFailure(fmt::format("a process SpringBoard (pid {}) started did not end within {} s", asked, kRequestSeconds));
            continue;
        }
        if (result.status == ControlClient::Status::Answered)
            throw ScenarioFailure(fmt::format("SpringBoard could not settle: {}", result.reply.value("error", std::string("?"))));
        if (result.status == ControlClient::Status::TimedOut)
            throw ScenarioFailure(fmt::format("SpringBoard (pid {}) did not settle within {} s", asked, kRequestSeconds));
        gone = asked;  // it ended meanwhile: wait for its successor
        if (++restarts >= kMaxRestartsPerRequest)
            break;
    }
    throw ScenarioFailure(fmt::format("the device did not settle: SpringBoard restarted {} times, or kept starting processes", restarts));
}

std::string ScenarioRunner::runHostProgram(const std::string& hostPath, const std::vector<std::string>& arguments, const std::string& label)
{
    auto result = runChild(hostPath, arguments, m_options.processTimeoutSeconds);
    if (result.succeeded() && !result.err.empty())
        m_err << result.err << (result.err.back() == '\n' ? "" : "\n");
    if (!result.succeeded()) {
        std::string command = label;
        for (const auto& argument : arguments)
            command += " " + quoteScenarioWord(argument);
        throw ScenarioFailure(fmt::format("`{}` {}{}", command, result.describe(),
            result.err.empty() ? "" : fmt::format(": {}", result.err.substr(0, result.err.find_last_not_of('\n') + 1))));
    }
    settle();
    return result.out;
}

std::string ScenarioRunner::runDeviceProgram(const std::string& path, const std::vector<std::string>& arguments)
{
    return runHostProgram(devicePath(path), arguments, path);
}
