// The device's /usr/bin/killall: ends the processes of the simulated device that run
// under the given names (the device's process list, not the host's), with SIGTERM unless
// a signal is named. Whoever started such a process sees it end: SpringBoard for an app,
// the supervisor for SpringBoard itself (which it then starts again).

#include "DeviceRoot.h"
#include "DeviceTrace.h"
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
        auto targets = ProcessTable::findByName(name);
        for (const auto& target : targets) {
            bool sent = ::kill(target.pid, signalNumber) == 0;
            DeviceTrace::write("kill", { { "name", name }, { "target", target.pid }, { "signal", signalNumber }, { "sent", sent } });
            if (!sent)
                std::fprintf(stderr, "killall: cannot signal %s (pid %d): %s\n", name.c_str(), target.pid, std::strerror(errno));
            killedAny = killedAny || sent;
        }
        if (targets.empty())
            DeviceTrace::write("kill", { { "name", name }, { "target", nullptr }, { "signal", signalNumber }, { "sent", false } });
    }
    if (!killedAny) {
        std::fprintf(stderr, "No matching processes were found on the device %s\n", deviceRoot().c_str());
        return 1;
    }
    return 0;
}
