// The device's /usr/bin/killall: ends the processes of the simulated device that run
// under the given names, with SIGTERM unless a signal is named:
// - the apps, which run inside SpringBoard's process manager here: SpringBoard is asked,
//   over its control channel, to end them, and so sees them end;
// - the device's real processes (the device's process list, never the host's), SpringBoard
//   itself among them: they get the signal, and the supervisor sees SpringBoard end and
//   starts it again.
// Each process ended is traced as "kill" {name, target, signal}.

#include "ControlServer.h"
#include "DeviceRoot.h"
#include "DeviceTrace.h"
#include "LocalSocket.h"
#include "ProcessTable.h"

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void printUsage(FILE* out)
{
    std::fprintf(out,
        "usage: killall [-SIGNAL | -s SIGNAL] NAME...\n"
        "Sends SIGNAL (default TERM) to every process of the simulated device (KAVLOR_DEVICE_ROOT)\n"
        "named NAME. SIGNAL is a number or a name such as KILL or SIGKILL.\n");
}

// "9", "KILL", "SIGKILL" -> 9; 0 when unknown.
int parseSignal(std::string text)
{
    if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0]))) {
        try {
            int number = std::stoi(text);
            return number > 0 && number < NSIG ? number : 0;
        } catch (...) {
            return 0;
        }
    }
    if (text.rfind("SIG", 0) == 0)
        text = text.substr(3);
    for (int number = 1; number < NSIG; ++number) {
        const char* name = sigabbrev_np(number);
        if (name && text == name)
            return number;
    }
    return 0;
}

// Asks SpringBoard to end its apps named `name`; answers their pids. A device whose
// SpringBoard is not running has no apps running either.
std::vector<int> killApps(const std::string& name, int signalNumber)
{
    std::vector<int> pids;
    nlohmann::ordered_json request { { "command", "kill-app" }, { "name", name }, { "signal", signalNumber } };
    ControlClient::Result result;
    try {
        result = ControlClient::request(LocalSocket::nameFor("springboard"), request, 30);
    } catch (const nlohmann::json::exception&) {
        // SpringBoard's channel speaks JSON, which holds UTF-8 only: a name that is not
        // UTF-8 is the name of no app SpringBoard runs.
        return pids;
    }
    if (result.status == ControlClient::Status::NoServer)
        return pids;
    if (!result.ok()) {
        std::fprintf(stderr, "killall: SpringBoard could not end %s: %s\n", name.c_str(),
            result.status == ControlClient::Status::Answered ? result.reply.value("error", std::string("?")).c_str() : result.error.c_str());
        return pids;
    }
    for (const auto& killed : result.reply.value("killed", nlohmann::ordered_json::array()))
        pids.push_back(killed.value("pid", 0));
    return pids;
}

} // namespace

int main(int argc, char** argv)
{
    int signalNumber = SIGTERM;
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            printUsage(stdout);
            return 0;
        }
        if (argument == "-s" || (argument.size() > 1 && argument[0] == '-' && names.empty())) {
            std::string name = argument == "-s" ? (i + 1 < argc ? argv[++i] : "") : argument.substr(1);
            signalNumber = parseSignal(name);
            if (!signalNumber) {
                std::fprintf(stderr, "killall: unknown signal \"%s\"\n", name.c_str());
                return 2;
            }
            continue;
        }
        names.push_back(argument);
    }
    if (names.empty()) {
        printUsage(stderr);
        return 2;
    }
    DeviceTrace::install("killall");

    bool killedAny = false;
    for (const auto& name : names) {
        int ended = 0;
        for (int pid : killApps(name, signalNumber)) {
            DeviceTrace::write("kill", { { "name", name }, { "target", pid }, { "signal", signalNumber }, { "sent", true } });
            ++ended;
        }
        for (const auto& target : ProcessTable::findByName(name)) {
            bool sent = ::kill(target.pid, signalNumber) == 0;
            DeviceTrace::write("kill", { { "name", name }, { "target", target.pid }, { "signal", signalNumber }, { "sent", sent } });
            if (!sent)
                std::fprintf(stderr, "killall: cannot signal %s (pid %d): %s\n", name.c_str(), target.pid, std::strerror(errno));
            ended += sent ? 1 : 0;
        }
        // A name that matched nothing is traced too: the tweak's kill tasks are visible
        // even when the app was not running.
        if (ended == 0)
            DeviceTrace::write("kill", { { "name", name }, { "target", nullptr }, { "signal", signalNumber }, { "sent", false } });
        killedAny = killedAny || ended > 0;
    }
    if (!killedAny) {
        std::fprintf(stderr, "No matching processes were found on the device %s\n", deviceRoot().c_str());
        return 1;
    }
    return 0;
}
