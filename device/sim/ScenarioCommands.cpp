// The scenario commands: one entry each. A new command (a tap, a passcode, an app launch)
// is one more entry here, usually asking SpringBoard through its control channel.

#include "ScenarioRunner.h"

#include "DarwinNotifyCenter.h"
#include "DeviceFiles.h"
#include "DeviceRoot.h"
#include "Expectations.h"
#include "GuestVisitCommands.h"
#include "HookListing.h"
#include "LockScreenCommands.h"
#include "PanelListing.h"
#include "SettingValues.h"

#include <fmt/format.h>

#include <cmath>
#include <filesystem>

namespace {

using Json = ScenarioRunner::Json;
using Arguments = std::vector<std::string>;

// The longest single wait (about 31 years). The device's clock is a count of microseconds
// in one 64-bit word shared by every process; a wait such as 1e300 would overflow it, and
// every process would stamp its events with garbage.
constexpr double kMaxWaitSeconds = 1e9;

double parseSeconds(const std::string& text)
{
    size_t used = 0;
    double seconds = -1;
    try {
        seconds = std::stod(text, &used);
    } catch (...) {
        used = 0;
    }
    if (used != text.size() || !std::isfinite(seconds) || seconds < 0)
        throw ScenarioFailure(fmt::format("\"{}\" is not a number of seconds (0 or more)", text));
    if (seconds > kMaxWaitSeconds)
        throw ScenarioFailure(fmt::format("\"{}\" is more seconds than the device's clock counts in one wait (at most {:.0f})", text, kMaxWaitSeconds));
    return seconds;
}

void checkName(const Arguments& arguments)
{
    if (arguments.at(0).empty())
        throw ScenarioFailure("a notification needs a name");
}

void waitSeconds(ScenarioRunner& runner, double seconds)
{
    runner.requireBooted("wait");
    auto now = runner.askSpringBoard(Json { { "command", "ping" } });
    double target = (now ? now->value("time", 0.0) : 0.0) + seconds;
    // A respring on the way (a time limit running out) restarts SpringBoard at the time it
    // happened; the rest of the wait goes on in the new SpringBoard.
    for (int round = 0; round < 100; ++round) {
        if (runner.askSpringBoard(Json { { "command", "wait" }, { "until", target } }))
            return;
        auto after = runner.askSpringBoard(Json { { "command", "ping" } });
        if (after && after->value("time", 0.0) >= target)
            return;
    }
    throw ScenarioFailure("SpringBoard restarted 100 times during one wait");
}

void printHooks(ScenarioRunner& runner)
{
    if (runner.isBooted()) {
        auto reply = runner.askSpringBoard(Json { { "command", "hooks" } });
        if (!reply)
            throw ScenarioFailure("SpringBoard restarted before it listed its methods");
        for (const auto& row : HookListing::fromJson(reply->value("hooks", Json::array())))
            runner.out() << HookListing::format(row) << "\n";
        return;
    }
    runner.out() << runner.runDeviceProgram(DeviceFiles::kSpringBoardExecutable, { "--list-hooks" });
}

void checkAppearance(const Arguments& arguments)
{
    if (arguments[0] != "light" && arguments[0] != "dark")
        throw ScenarioFailure(fmt::format("\"{}\": the appearance is light or dark", arguments[0]));
}

void printPanel(ScenarioRunner& runner)
{
    runner.requireBooted("panel");
    auto reply = runner.askSpringBoard(Json { { "command", "panel" } });
    if (!reply)
        throw ScenarioFailure("SpringBoard restarted before it showed the panel");
    runner.out() << PanelListing::heading(*reply) << "\n";
    for (const auto& entry : reply->value("views", Json::array()))
        runner.out() << PanelListing::formatLine(entry) << "\n";
}

// Draws the device's screen into FILE (a host path; relative to the current folder).
void takeScreenshot(ScenarioRunner& runner, const Arguments& arguments)
{
    runner.requireBooted("screenshot");
    std::error_code error;
    auto path = std::filesystem::absolute(arguments[0], error);
    if (error || arguments[0].empty())
        throw ScenarioFailure(fmt::format("\"{}\" is not a file name for a screenshot", arguments[0]));
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), error);
    bool passcode = arguments.size() > 1;
    auto reply = runner.askSpringBoard(Json { { "command", "screenshot" }, { "path", path.string() }, { "passcode", passcode } });
    if (!reply)
        throw ScenarioFailure("SpringBoard restarted before it drew its screen");
    runner.out() << fmt::format("screenshot {} ({} x {} pixels)\n", arguments[0], reply->value("width", 0), reply->value("height", 0));
}

void checkScreenshot(const Arguments& arguments)
{
    if (arguments.size() > 1 && arguments[1] != "passcode")
        throw ScenarioFailure(fmt::format("\"{}\": a screenshot shows the screen, or with `passcode` the passcode prompt", arguments[1]));
}

std::vector<ScenarioCommand> makeCommands()
{
    std::vector<ScenarioCommand> commands;
    auto add = [&](ScenarioCommand command) { commands.push_back(std::move(command)); };

    add({ "boot", "boot", "start the device: the supervisor starts SpringBoard (virtual clock at 0) and waits until it is ready",
        0, 0, true, [](ScenarioRunner& runner, const Arguments&) { runner.boot(); }, {} });
    add({ "shutdown", "shutdown", "stop the device's processes (the end of the script does it too); files are kept",
        0, 0, true, [](ScenarioRunner& runner, const Arguments&) { runner.shutdown(); }, {} });
    add({ "respring", "respring", "run the device's /usr/bin/sbreload; returns when the new SpringBoard is ready",
        0, 0, true,
        [](ScenarioRunner& runner, const Arguments&) {
            runner.requireBooted("respring");
            runner.runDeviceProgram(DeviceFiles::kSbreload, {});
        },
        {} });
    add({ "wait", "wait SECONDS", "advance SpringBoard's virtual clock, firing its timers in order (never sleeps); a respring on the way, the wait goes on in the new SpringBoard",
        1, 1, true, [](ScenarioRunner& runner, const Arguments& arguments) { waitSeconds(runner, parseSeconds(arguments[0])); },
        [](const Arguments& arguments) { parseSeconds(arguments[0]); } });
    add({ "post-local", "post-local NAME", "post NAME on SpringBoard's default notification centre (no object, no user info)",
        1, 1, true,
        [](ScenarioRunner& runner, const Arguments& arguments) {
            runner.askSpringBoard(Json { { "command", "post-local" }, { "name", arguments[0] } });
        },
        checkName });
    add({ "post-darwin", "post-darwin NAME", "post NAME on the Darwin centre, from outside SpringBoard, and wait for its delivery",
        1, 1, true,
        [](ScenarioRunner& runner, const Arguments& arguments) {
            if (DarwinNotifyCenter::shared().post(arguments[0]) < 0)
                throw ScenarioFailure(fmt::format("the Darwin centre refused the name \"{}\"", arguments[0]));
            runner.settle();
        },
        checkName });
    add({ "observe-local", "observe-local NAME", "trace each delivery of NAME on SpringBoard's default centre as \"observed\" {name, object, userInfo} (until the next respring)",
        1, 1, true,
        [](ScenarioRunner& runner, const Arguments& arguments) {
            runner.askSpringBoard(Json { { "command", "observe-local" }, { "name", arguments[0] } });
        },
        checkName });
    add({ "kavlorctl", "kavlorctl ARGS...", "run the preference-bundle stand-in against this device and print what it prints",
        1, -1, true,
        [](ScenarioRunner& runner, const Arguments& arguments) {
            Arguments full { "--device", runner.deviceRoot() };
            full.insert(full.end(), arguments.begin(), arguments.end());
            runner.out() << runner.runHostProgram(runner.options().kavlorctlPath, full, "kavlorctl");
        },
        {} });
    add({ "killall", "killall NAME", "run the device's /usr/bin/killall NAME: SpringBoard sees its app end; a killed SpringBoard is started again",
        1, 1, true,
        [](ScenarioRunner& runner, const Arguments& arguments) { runner.runDeviceProgram(DeviceFiles::kKillall, arguments); }, {} });
    add({ "launch-app", "launch-app BUNDLE_ID NAME", "bring an app to the front (NAME: its executable name, what killall takes)",
        2, 2, true,
        [](ScenarioRunner& runner, const Arguments& arguments) {
            runner.askSpringBoard(Json { { "command", "launch-app" }, { "bundleIdentifier", arguments[0] }, { "name", arguments[1] } });
        },
        {} });
    add({ "appearance", "appearance light|dark", "switch the device's appearance; views are told (traitCollectionDidChange:); iOS 12 has no dark appearance",
        1, 1, true,
        [](ScenarioRunner& runner, const Arguments& arguments) {
            runner.askSpringBoard(Json { { "command", "appearance" }, { "style", arguments[0] } });
        },
        checkAppearance });
    for (auto& command : lockScreenCommands())
        add(std::move(command));
    add({ "panel", "panel", "print the account switcher panel's view tree: class, name, frame in points, alpha, hidden, colours, texts (one built on the side when the lock screen holds none)",
        0, 0, false, [](ScenarioRunner& runner, const Arguments&) { printPanel(runner); }, {} });
    for (auto& command : restrictionScenarioCommands())
        add(std::move(command));
    add({ "screenshot", "screenshot FILE [passcode]", "draw what the screen shows into the PNG FILE (with `passcode`, the lock screen's passcode prompt)",
        1, 2, false, takeScreenshot, checkScreenshot });
    add({ "hooks", "hooks", "print the replaced and added methods (class, selector, kind, library), tab-separated",
        0, 0, false, [](ScenarioRunner& runner, const Arguments&) { printHooks(runner); }, {} });
    add({ "settings", "settings", "print the settings domain com.Quennic.KavlorPrefs, one KEY = VALUE a line",
        0, 0, false,
        [](ScenarioRunner& runner, const Arguments&) {
            for (const auto& [key, value] : readKavlorSettings())
                runner.out() << key << " = " << renderSettingForPerson(value) << "\n";
        },
        {} });
    add({ "say", "say TEXT...", "print a line of narration (the demo tells its story with it)",
        0, -1, false,
        [](ScenarioRunner& runner, const Arguments& arguments) {
            std::string text;
            for (const auto& word : arguments)
                text += (text.empty() ? "" : " ") + word;
            bool forPerson = runner.options().pretty || runner.options().story;
            runner.out() << (forPerson ? "\n" + text : "# " + text) << "\n";
        },
        {} });
    for (auto& command : guestVisitCommands())
        add(std::move(command));
    add({ "expect", "expect WHAT ...", "check the trace or the device's state; a miss ends the run (see the expect forms)",
        1, -1, false, runExpectation, checkExpectation });
    return commands;
}

} // namespace

const std::vector<ScenarioCommand>& scenarioCommands()
{
    static const std::vector<ScenarioCommand> commands = makeCommands();
    return commands;
}

const ScenarioCommand* findScenarioCommand(const std::string& name)
{
    for (const auto& command : scenarioCommands()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}
