// The device's /usr/bin/sbreload: asks the supervisor (the launchd stand-in) to restart
// SpringBoard and returns once the new SpringBoard is ready. SpringBoard itself is ended
// while this runs, so a SpringBoard that spawned sbreload and waits for it never gets
// past that wait, as on a device.

#include "ControlServer.h"
#include "DeviceRoot.h"
#include "DeviceTrace.h"
#include "LocalSocket.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// A respring waits for a whole SpringBoard start; the supervisor gives up on its own
// long before this.
constexpr double kRespringTimeoutSeconds = 120;

void printUsage(FILE* out)
{
    std::fprintf(out,
        "usage: sbreload\n"
        "Restarts SpringBoard on the simulated device named by KAVLOR_DEVICE_ROOT and waits\n"
        "until the new SpringBoard is ready. The device must be running under kavlor-sim.\n");
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage(stdout);
            return 0;
        }
        std::fprintf(stderr, "sbreload: unknown argument \"%s\"\n", argv[i]);
        printUsage(stderr);
        return 2;
    }
    DeviceTrace::install("sbreload");

    ControlClient::Json request { { "command", "respring" }, { "requester", static_cast<int>(::getppid()) } };
    auto result = ControlClient::request(LocalSocket::nameFor("launchd"), request, kRespringTimeoutSeconds);
    switch (result.status) {
    case ControlClient::Status::NoServer:
        std::fprintf(stderr, "sbreload: the device %s is not running under kavlor-sim (nobody to restart SpringBoard): %s\n",
            deviceRoot().c_str(), result.error.c_str());
        return 1;
    case ControlClient::Status::Dropped:
    case ControlClient::Status::TimedOut:
        std::fprintf(stderr, "sbreload: the respring did not finish: %s\n", result.error.c_str());
        return 1;
    case ControlClient::Status::Answered:
        break;
    }
    if (!result.ok()) {
        std::fprintf(stderr, "sbreload: the respring failed: %s\n", result.reply.value("error", std::string("unknown error")).c_str());
        return 1;
    }
    return 0;
}
