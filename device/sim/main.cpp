// kavlor-sim: the simulated device's command.
//   init DIR       make a device root
//   run DIR SCRIPT drive the device from a scenario script
//   boot DIR       run the device interactively (real clock) until interrupted
//   demo           make a fresh device and play a guest visit, telling the story
//   trace DIR      print the device's trace
//   serve DIR      run the device and show it in a browser

#include "Demo.h"
#include "DeviceInstaller.h"
#include "DeviceServer.h"
#include "DeviceTrace.h"
#include "Expectations.h"
#include "ScenarioRunner.h"
#include "Supervisor.h"
#include "TraceFollower.h"

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path ownFolder()
{
    std::error_code error;
    return fs::canonical("/proc/self/exe", error).parent_path();
}

std::string kavlorctlPath()
{
    if (const char* path = std::getenv("KAVLOR_KAVLORCTL"); path && *path)
        return path;
    return (ownFolder() / "kavlorctl").string();
}

std::string absolute(const std::string& path)
{
    std::error_code error;
    auto result = fs::absolute(path, error).lexically_normal().string();
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

bool isDeviceRoot(const std::string& root)
{
    std::error_code error;
    return fs::exists(fs::path(root) / "System/Library/CoreServices/SpringBoard.app/SpringBoard", error);
}

int refuseNonDevice(const std::string& command, const std::string& root)
{
    std::cerr << fmt::format("kavlor-sim {}: {} is not a device root (make one with `kavlor-sim init {}`)\n", command, root, root);
    return 1;
}

std::string scenarioReference()
{
    std::string text = "\nScenario commands (one a line; # starts a comment; quote words with blanks):\n";
    for (const auto& command : scenarioCommands())
        text += fmt::format("  {:<34} {}\n", command.usage, command.description);
    text += "\nexpect forms (FILTER: KEY=VALUE, KEY!=VALUE or KEY~TEXT; $pid, $previous-pid):\n";
    for (const auto& form : expectationForms())
        text += fmt::format("  {:<44} {}\n", form.usage, form.description);
    return text;
}

// --- init --------------------------------------------------------------------------------

int runInit(const std::string& root, const DeviceSpec& spec, bool force)
{
    try {
        DeviceInstaller::install(root, spec, force);
    } catch (const InstallError& error) {
        std::cerr << "kavlor-sim init: " << error.what() << "\n";
        return 1;
    }
    std::cout << fmt::format("made the device {} (iOS {}, {}, passcode {})\n", absolute(root), spec.iosVersion, spec.idiom, spec.passcode);
    for (const auto& line : DeviceInstaller::describe(root))
        std::cout << "  " << line << "\n";
    return 0;
}

// --- run ---------------------------------------------------------------------------------

int runScenario(const std::string& root, const std::string& script, ScenarioRunner::Options options)
{
    if (!isDeviceRoot(root))
        return refuseNonDevice("run", root);
    options.kavlorctlPath = kavlorctlPath();
    std::string source;
    std::string name = script;
    if (script == "-") {
        name = "<stdin>";
        if (::isatty(STDIN_FILENO)) {
            ScenarioRunner runner(root, options, std::cout, std::cerr);
            return runner.runInteractive(std::cin);
        }
        std::stringstream buffer;
        buffer << std::cin.rdbuf();
        source = buffer.str();
    } else {
        // A folder opens, reads as nothing and would run as a script of no commands: a
        // mistyped path would pass.
        std::error_code error;
        if (fs::is_directory(script, error)) {
            std::cerr << fmt::format("kavlor-sim run: cannot read the script {}: it is a folder\n", script);
            return 2;
        }
        std::ifstream in(script);
        if (!in) {
            std::cerr << fmt::format("kavlor-sim run: cannot read the script {}\n", script);
            return 2;
        }
        std::stringstream buffer;
        buffer << in.rdbuf();
        source = buffer.str();
    }
    ScenarioRunner runner(root, options, std::cout, std::cerr);
    return runner.runScript(source, name);
}

// --- boot --------------------------------------------------------------------------------

Supervisor* g_foreground = nullptr;

void stopOnSignal(int)
{
    if (g_foreground)
        g_foreground->requestStop();
}

int runBoot(const std::string& root, bool pretty)
{
    if (!isDeviceRoot(root))
        return refuseNonDevice("boot", root);
    ::setenv("KAVLOR_DEVICE_ROOT", absolute(root).c_str(), 1);
    DeviceTrace::install("kavlor-sim");
    Supervisor::Options options;
    options.virtualClock = false;
    options.announce = true;
    Supervisor supervisor(options);
    g_foreground = &supervisor;
    struct sigaction action {};
    action.sa_handler = stopOnSignal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    // The trace is shown as it happens, from a thread of its own.
    std::atomic<bool> done { false };
    std::thread follower([&] {
        TraceFollower trace(absolute(root) + "/var/log/kavlor-trace.jsonl", true);
        while (!done) {
            for (const auto& event : trace.readNew())
                std::cout << (pretty ? prettyTraceEvent(event) : event.dump()) << std::endl;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        for (const auto& event : trace.readNew())
            std::cout << (pretty ? prettyTraceEvent(event) : event.dump()) << std::endl;
    });
    std::cerr << fmt::format("kavlor-sim: booting {} (real clock); Ctrl-C stops the device\n", absolute(root));
    int status = supervisor.runInForeground();
    done = true;
    follower.join();
    g_foreground = nullptr;
    return status;
}

// --- trace -------------------------------------------------------------------------------

int printTrace(const std::string& root, bool pretty)
{
    if (!isDeviceRoot(root))
        return refuseNonDevice("trace", root);
    TraceFollower trace(absolute(root) + "/var/log/kavlor-trace.jsonl", false);
    trace.forEachNew([pretty](nlohmann::ordered_json&& event) {
        std::cout << (pretty ? prettyTraceEvent(event) : event.dump()) << "\n";
    });
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app { "kavlor-sim: the simulated device that runs SpringBoard, the Kavlor tweak and its tools with real processes" };
    app.require_subcommand(1);

    DeviceSpec spec;
    std::string root;
    bool force = false;
    auto* init = app.add_subcommand("init", "make a device root: folders, SpringBoard host, loader, tweak, stand-ins, configuration");
    init->add_option("DIR", root, "the folder to make the device in")->required();
    init->add_option("--ios", spec.iosVersion, "iOS version: 12.5, 13.7 or 14.4 (any 12.x to 14.x)")->capture_default_str();
    init->add_option("--idiom", spec.idiom, "phone or pad")->capture_default_str();
    init->add_option("--passcode", spec.passcode, "the device passcode")->capture_default_str();
    bool withoutTweak = false;
    init->add_flag("--without-tweak", withoutTweak, "leave libKavlor.so out: SpringBoard runs without the tweak");
    init->add_flag("--force", force, "the folder is a device already: install the programs and configuration again, keep its data");

    std::string script = "-";
    ScenarioRunner::Options runOptions;
    bool noTrace = false;
    auto* run = app.add_subcommand("run", "drive the device from a scenario script (a file, or standard input for -)");
    run->add_option("DIR", root, "the device root")->required();
    run->add_option("SCRIPT", script, "the script, or - for standard input")->capture_default_str();
    run->add_flag("--pretty", runOptions.pretty, "print the trace for a person instead of JSON lines");
    run->add_flag("--echo", runOptions.echoCommands, "print each command before its effects");
    run->add_flag("--no-trace", noTrace, "print only what commands print (hooks, settings, kavlorctl)");
    run->footer(scenarioReference());

    bool pretty = false;
    auto* boot = app.add_subcommand("boot", "run the device interactively on the real clock until Ctrl-C, printing its trace");
    boot->add_option("DIR", root, "the device root")->required();
    boot->add_flag("--pretty", pretty, "print the trace for a person");

    DemoOptions demoOptions;
    auto* demo = app.add_subcommand("demo", "make a fresh device and play a guest visit, telling what happens");
    demo->add_option("--ios", demoOptions.spec.iosVersion, "iOS version of the demo device")->capture_default_str();
    demo->add_option("--idiom", demoOptions.spec.idiom, "phone or pad")->capture_default_str();
    demo->add_option("--dir", demoOptions.folder, "make the device here instead of a fresh temporary folder");
    demo->add_flag("--json", demoOptions.json, "print the trace as JSON lines instead of the story");
    demo->add_flag("--pretty", demoOptions.pretty, "print every trace event instead of the story");

    auto* trace = app.add_subcommand("trace", "print the device's trace (all runs so far)");
    trace->add_option("DIR", root, "the device root")->required();
    trace->add_flag("--pretty", pretty, "for a person");

    ServeOptions serveOptions;
    serveOptions.webFolder = KAVLOR_WEB_DIR;
    auto* serve = app.add_subcommand("serve", "run the device and serve a page on 127.0.0.1 that shows its screen live and takes taps, the passcode and the guest form");
    serve->add_option("DIR", root, "the device root")->required();
    serve->add_option("--port", serveOptions.port, "the port (0: a free one; the address is printed)")->capture_default_str();
    serve->add_flag("--virtual", serveOptions.virtualClock, "keep the virtual clock: the page moves it (1 min, 5 min, to the end of the time limit)");
    serve->add_option("--redraw-every", serveOptions.safetyRedrawSeconds,
             "draw the screen at least this often in seconds, even when SpringBoard told of no change (0: only on changes)")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    serve->add_option("--web", serveOptions.webFolder, "the folder of the page's files")->capture_default_str();

    CLI11_PARSE(app, argc, argv);

    if (*init) {
        spec.withTweak = !withoutTweak;
        return runInit(root, spec, force);
    }
    if (*run) {
        runOptions.showTrace = !noTrace;
        return runScenario(absolute(root), script, runOptions);
    }
    if (*boot)
        return runBoot(root, pretty);
    if (*demo) {
        demoOptions.kavlorctlPath = kavlorctlPath();
        return runDemo(demoOptions, std::cout, std::cerr);
    }
    if (*trace)
        return printTrace(root, pretty);
    if (*serve) {
        if (!isDeviceRoot(root))
            return refuseNonDevice("serve", root);
        if (serveOptions.port < 0 || serveOptions.port > 65535) {
            std::cerr << fmt::format("kavlor-sim serve: the port {} is not one of 0-65535\n", serveOptions.port);
            return 1;
        }
        serveOptions.deviceRoot = absolute(root);
        serveOptions.kavlorctlPath = kavlorctlPath();
        return runServe(serveOptions, std::cout, std::cerr);
    }
    return 0;
}
