#pragma once
// `kavlor-sim run`: drives a simulated device from a scenario script. The run starts the
// device's processes at `boot` and stops them when the script ends; the device root's
// files persist from one run to the next.
//
// Every command returns only when its effects have settled: Darwin notifications
// delivered, observers called, a respring finished and the new SpringBoard ready. So a
// script never sleeps, and `expect` sees the whole effect of the line before it.
//
// The commands are entries of one table (ScenarioCommands.cpp): a name, the number of
// words it takes, a usage line, a description, and the function that runs it.

#include "DeviceError.h"
#include "ScenarioScript.h"
#include "Supervisor.h"
#include "TraceFollower.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

// A command that did not do what it should: ends the run with a message naming the line.
class ScenarioFailure : public DeviceError {
public:
    using DeviceError::DeviceError;
};

class ScenarioRunner;

struct ScenarioCommand {
    std::string name;
    std::string usage;          // "wait SECONDS"
    std::string description;    // one line for the reference
    int minArguments = 0;
    int maxArguments = 0;       // -1: any number
    // An action changes the device; `expect` looks at what the last action caused.
    bool isAction = true;
    std::function<void(ScenarioRunner&, const std::vector<std::string>& arguments)> run;
    // Checks the words before the script starts (throws ScenarioFailure), so that a typo
    // on line 40 is found before line 1 runs. May be empty.
    std::function<void(const std::vector<std::string>& arguments)> check;
    // For a command that acts with some words only (`alert` prints, `alert tap` acts):
    // decides instead of isAction. May be empty.
    std::function<bool(const std::vector<std::string>& arguments)> actsWith = {};
};

// The command table, in the order the reference lists it.
const std::vector<ScenarioCommand>& scenarioCommands();
const ScenarioCommand* findScenarioCommand(const std::string& name);
// The commands of a guest's restrictions (RestrictionCommands.cpp).
std::vector<ScenarioCommand> restrictionScenarioCommands();

class ScenarioRunner {
public:
    using Json = nlohmann::ordered_json;
    struct Options {
        bool pretty = false;        // trace lines for a person instead of JSON
        bool story = false;         // the trace as sentences, leaving out inner steps (the demo)
        bool echoCommands = false;  // show each command before its effects
        bool showTrace = true;
        std::string kavlorctlPath;  // the preference-bundle stand-in
        double processTimeoutSeconds = 60;
    };

    // `deviceRoot` must be a device root made by `kavlor-sim init`; it becomes this
    // process's KAVLOR_DEVICE_ROOT.
    ScenarioRunner(std::string deviceRoot, Options options, std::ostream& out, std::ostream& err);
    ~ScenarioRunner();

    // Runs the script to its end, or to its first failure. Answers the exit status: 0 when
    // every line did what it should, 1 otherwise (the message names the line, what was
    // expected and what happened), 2 for a script that cannot be read.
    int runScript(const std::string& source, const std::string& sourceName);
    // Runs lines as they are typed: a failure is reported and the session goes on.
    int runInteractive(std::istream& in);
    // Runs one line (already split). Throws ScenarioFailure.
    void runLine(const ScenarioLine& line);
    // Stops the device's processes if they run.
    void finish();

    // --- for the commands --------------------------------------------------------------
    std::ostream& out() { return m_out; }
    const std::string& deviceRoot() const { return m_deviceRoot; }
    const Options& options() const { return m_options; }
    bool isBooted() const { return m_supervisor != nullptr; }
    void requireBooted(const std::string& what) const;
    void boot();
    void shutdown();
    // Waits until SpringBoard is ready and has handled everything that was sent to it.
    void settle();
    // A request to the running SpringBoard, answered once it settled. When SpringBoard is
    // restarted while it handles the request (a respring), the answer is nothing.
    std::optional<Json> askSpringBoard(const Json& request);
    pid_t springBoardPid() const;
    // Runs a program of the device (a device path) and fails the line unless it succeeded.
    std::string runDeviceProgram(const std::string& devicePath, const std::vector<std::string>& arguments);
    std::string runHostProgram(const std::string& hostPath, const std::vector<std::string>& arguments, const std::string& label);

    // The trace of this run: every event so far, and those since the last action began.
    const std::vector<Json>& events();
    std::vector<Json> eventsSinceLastAction();
    const ScenarioLine* lastAction() const { return m_lastAction ? &*m_lastAction : nullptr; }
    pid_t springBoardPidBeforeLastAction() const { return m_pidBeforeLastAction; }
    int expectationsMet() const { return m_expectationsMet; }
    void countExpectationMet() { ++m_expectationsMet; }

private:
    // Waits until SpringBoard (not the one of pid `notPid`) is ready; ScenarioFailure
    // beginning with `otherwise` when it does not come.
    void waitForSpringBoard(pid_t notPid, const std::string& otherwise);
    void validate(const std::vector<ScenarioLine>& lines) const;
    void collectTrace(bool print);
    std::string failureMessage(const ScenarioLine& line, const std::string& what, const std::string& sourceName) const;

    std::string m_deviceRoot;
    Options m_options;
    std::ostream& m_out;
    std::ostream& m_err;
    std::unique_ptr<Supervisor> m_supervisor;
    TraceFollower m_trace;
    std::vector<Json> m_events;
    size_t m_lastActionStart = 0;
    std::optional<ScenarioLine> m_lastAction;
    pid_t m_pidBeforeLastAction = 0;
    int m_expectationsMet = 0;
};
