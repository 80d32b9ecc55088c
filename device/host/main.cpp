// The SpringBoard host of the simulated device. Its executable lives in the device root at
// "/System/Library/CoreServices/SpringBoard.app/SpringBoard", so argv[0] names
// "SpringBoard.app" as on a device. At start, in this order:
//   1. write its trace to the device's trace file, and run on the device's clock;
//   2. register the UIKit and SpringBoard classes of the device's iOS version (they exist
//      before any tweak loads, as the classes of the SpringBoard binary do on a device);
//   3. run the MobileSubstrate stand-in, which loads the tweaks whose filter names
//      "com.apple.springboard";
//   4. with --list-hooks: print every replaced and added method, and exit;
//      (with --exit-when-ready, step 5 ends once SpringBoard is ready, before checking in);
//   5. otherwise run SpringBoard's start-up (finish launching, lock screen, status bar,
//      icon model, home screen appearing), tell the device's web server of the screen's
//      changes when one serves it, open the control channel, check in with the
//      supervisor, and run the main run loop until the process is ended.

#include "DeviceClock.h"
#include "DeviceFiles.h"
#include "DeviceRoot.h"
#include "DeviceTrace.h"
#include "HookListing.h"
#include "HostControl.h"
#include "LocalSocket.h"
#include "ScreenChangeSender.h"
#include "SpringBoardPlatform.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

struct HostOptions {
    bool listHooks = false;
    bool exitWhenReady = false;
};

void printUsage(FILE* out)
{
    std::fprintf(out,
        "usage: SpringBoard [--list-hooks] [--exit-when-ready] [--device DIR]\n"
        "The SpringBoard host of the simulated device. It runs from the device root, as\n"
        "/System/Library/CoreServices/SpringBoard.app/SpringBoard; run from elsewhere it starts\n"
        "that copy. The device root is KAVLOR_DEVICE_ROOT (or --device DIR).\n"
        "  --list-hooks   load the tweaks as at a start, print one line per replaced or added\n"
        "                 method (class, selector, replaced|added, library file name; tab-\n"
        "                 separated) and exit 0\n"
        "  --exit-when-ready  run the whole start-up, then exit 0 instead of running on\n"
        "                 (times a start: what a boot or respring costs)\n"
        "  --device DIR   the device root (sets KAVLOR_DEVICE_ROOT)\n"
        "Normally the supervisor starts it: kavlor-sim boot DIR, or kavlor-sim run DIR SCRIPT.\n");
}

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "SpringBoard: %s\n", message.c_str());
    std::exit(1);
}

HostOptions parseOptions(int argc, char** argv)
{
    HostOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            printUsage(stdout);
            std::exit(0);
        } else if (argument == "--list-hooks") {
            options.listHooks = true;
        } else if (argument == "--exit-when-ready") {
            options.exitWhenReady = true;
        } else if (argument == "--device") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "SpringBoard: --device needs the device root (a folder made by `kavlor-sim init DIR`)\n");
                std::exit(2);
            }
            std::error_code error;
            auto root = std::filesystem::absolute(argv[++i], error);
            ::setenv("KAVLOR_DEVICE_ROOT", root.c_str(), 1);
        } else {
            std::fprintf(stderr, "SpringBoard: unknown argument \"%s\"\n", argument.c_str());
            printUsage(stderr);
            std::exit(2);
        }
    }
    return options;
}

bool sameContents(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code error;
    if (std::filesystem::file_size(a, error) != std::filesystem::file_size(b, error) || error)
        return false;
    std::ifstream first(a, std::ios::binary), second(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(first), std::istreambuf_iterator<char>(), std::istreambuf_iterator<char>(second));
}

// The tweak tests argv[0] for "SpringBoard.app", so SpringBoard must run as the device's
// copy. Started as another file (build/bin/SpringBoard), it becomes that copy.
void becomeTheDeviceCopy(char** argv)
{
    const char* root = std::getenv("KAVLOR_DEVICE_ROOT");
    if (!root || !*root)
        fail("KAVLOR_DEVICE_ROOT is not set: name the device root made by `kavlor-sim init DIR` (or pass --device DIR)");
    std::string deviceCopy = devicePath(DeviceFiles::kSpringBoardExecutable);
    std::error_code error;
    auto self = std::filesystem::canonical("/proc/self/exe", error);
    auto copy = std::filesystem::canonical(deviceCopy, error);
    if (error)
        fail(fmt::format("there is no SpringBoard host at {} (make the device with `kavlor-sim init {}`)", deviceCopy, root));
    if (self == copy && std::strstr(argv[0], "SpringBoard.app"))
        return;
    if (!sameContents(self, copy))
        std::fprintf(stderr, "SpringBoard: note: the device's copy %s differs from %s; `kavlor-sim init %s --force` installs this one\n",
            copy.c_str(), self.c_str(), root);
    argv[0] = deviceCopy.data();
    ::execv(deviceCopy.c_str(), argv);
    fail(fmt::format("cannot start {}: {}", deviceCopy, std::strerror(errno)));
}

// MobileSubstrate: the loader library of the device root loads the tweaks.
void runSubstrate()
{
    std::string loaderPath = devicePath(DeviceFiles::kSubstrateLoader);
    void* loader = ::dlopen(loaderPath.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!loader) {
        const char* why = ::dlerror();
        std::fprintf(stderr, "SpringBoard: no MobileSubstrate (%s); starting without tweaks\n", why ? why : loaderPath.c_str());
        DeviceTrace::write("substrate-missing", { { "path", DeviceFiles::kSubstrateLoader } });
        return;
    }
    using LoadFunction = int (*)(const char*);
    auto load = reinterpret_cast<LoadFunction>(::dlsym(loader, "MSLoadDynamicLibrariesForBundle"));
    if (!load)
        fail(fmt::format("{} has no MSLoadDynamicLibrariesForBundle", loaderPath));
    load(DeviceFiles::kSpringBoardBundleIdentifier);
}

int listHooks()
{
    for (const auto& row : HookListing::installedRows())
        std::printf("%s\n", HookListing::format(row).c_str());
    std::fflush(stdout);
    return 0;
}

// Tells the supervisor that this SpringBoard is ready. Without a supervisor (started by
// hand) there is nobody to tell; that is said once, and SpringBoard runs on.
void checkInWithSupervisor()
{
    ControlClient::Json request { { "command", "checkin" }, { "pid", static_cast<int>(::getpid()) } };
    auto result = ControlClient::request(LocalSocket::nameFor("launchd"), request, 10);
    if (result.status == ControlClient::Status::NoServer) {
        std::fprintf(stderr, "SpringBoard: no supervisor for this device (started by hand): nobody will restart it\n");
        return;
    }
    if (!result.ok())
        fail(fmt::format("the supervisor refused the check-in: {}",
            result.status == ControlClient::Status::Answered ? result.reply.value("error", std::string("?")) : result.error));
}

} // namespace

int main(int argc, char** argv)
{
    HostOptions options = parseOptions(argc, argv);
    becomeTheDeviceCopy(argv);

    // --list-hooks inspects; it is not a start of the device's SpringBoard, so it leaves
    // the device's trace alone.
    if (!options.listHooks)
        DeviceTrace::install("SpringBoard");
    DeviceClock::adoptFor(RunLoop::main());

    SpringBoardPlatform platform = SpringBoardPlatform::forThisDevice();
    platform.registerClasses();
    runSubstrate();

    if (options.listHooks)
        return listHooks();

    // What the tweaks installed tells which of the library's hook groups this start got.
    std::string hookGroups = HookListing::joinedGroups(HookListing::installedRows());
    DeviceTrace::write("hook-groups", { { "groups", hookGroups } });

    DeviceTrace::write("springboard-start",
        { { "ios", platform.versionText() }, { "idiom", platform.idiomName() }, { "groups", hookGroups } });
    platform.launch();

    ScreenChangeSender::startIfServed();

    ControlServer server(RunLoop::main());
    HostControl control(server);
    platform.addControlCommands(control);
    try {
        server.listen(LocalSocket::nameFor("springboard"));
    } catch (const DeviceError& error) {
        fail(fmt::format("cannot open the control channel: {}", error.what()));
    }
    HostControl::settle();
    DeviceTrace::write("springboard-ready");
    if (options.exitWhenReady)
        return 0;
    checkInWithSupervisor();
    RunLoop::main().run();
    return 0;
}
