#include "Murvex.h"

#include "DeviceRoot.h"
#include "Elevation.h"
#include "RunCommand.h"
#include "WallpaperSnapshot.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr int kExitStatus = 1;

constexpr const char* kMissingCommandMessage = "Error: you did not specify an option to run";
constexpr const char* kUsageText = "::[Commands]:: \n\nsave :- To save wallpaper images\nrestore: To restore wallpaper images";

void printUsage()
{
    std::puts(kUsageText);
}

// The command table. Names are compared byte for byte, so a name in other letter case is
// not a command; nor are "save" and "restore", the words the usage text shows.
void runCommandWord(int argc, const char* const argv[])
{
    const char* command = argv[1];
    if (std::strcmp(command, "saveAdminWall") == 0) {
        saveAdminWallpapers();
    } else if (std::strcmp(command, "restoreAdminWall") == 0) {
        restoreAdminWallpapers();
    } else if (std::strcmp(command, "setWallGuest") == 0) {
        // Without an image path there is nothing to set: show how the program is used.
        if (argc < 3) {
            printUsage();
            return;
        }
        // A path that climbs above the device's "/" reads as another file than the one
        // named; it is refused rather than read.
        if (climbsAboveDeviceRoot(argv[2])) {
            std::fprintf(stderr, "murvex: %s climbs above / with \"..\"; no wallpaper was set\n", argv[2]);
            return;
        }
        setWall(std::string(argv[2]), kWallpaperLocationBoth);
    } else if (std::strcmp(command, "respring") == 0) {
        runCommand("/usr/bin/sbreload");
    } else {
        printUsage();
    }
}

} // namespace

int murvexMain(int argc, const char* const argv[])
{
    if (argc < 2) {
        std::puts(kMissingCommandMessage);
        return kExitStatus;
    }
    // The wallpaper files belong to mobile and root; plain setuid is enough where the
    // binary is setuid root, and the jailbreak's library makes it work where it is not.
    (void)!setuid(0);
    if (getuid() != 0)
        fixSetuidForChimera();
    runCommandWord(argc, argv);
    std::fflush(stdout);
    return kExitStatus;
}
