#include "Demo.h"

#include "ScenarioRunner.h"

#include <fmt/format.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

const char* demoScript()
{
    return R"(# The road of one guest visit, as far as the device can play it.
say The owner sets Kavlor up in the preference bundle: the owner account "Admin" and two guests.
kavlorctl user add Admin --passcode 123456
kavlorctl user add Emma --passcode 1111 --block control-center,search
kavlorctl user add Noah --passcode 2222 --block time-limit --time-limit 0
kavlorctl set adminPasscode 123456
say The owner switches the tweak on.
kavlorctl set toggleKavlor true
expect setting toggleKavlor YES

say The device boots: the supervisor starts SpringBoard, MobileSubstrate loads libKavlor.so, and the tweak installs its hooks before SpringBoard's own start-up.
boot
expect event springboard-start
hooks

say The owner adds a third guest while SpringBoard runs: the Darwin notification reaches SpringBoard, and the tweak re-posts it on SpringBoard's local centre.
kavlorctl user add Liam --passcode 3333
expect event notification centre=local name=com.Quennic.Kavlor/addedNewUser

say The owner chooses Emma on the lock screen and confirms: the settings name her the active account, and guest mode starts.
kavlorctl set activeUser Emma
kavlorctl set isKavlorActive true
post-local com.Quennic.Kavlor/startGuestMode
say SpringBoard restarted for Emma: the new SpringBoard made its decisions again and installed the guest hooks.
expect new-springboard

say Emma logs out: the tweak makes the owner active again and resprings.
post-local com.Quennic.Kavlor/endGuestMode
expect new-springboard
expect setting activeUser Admin
expect setting isKavlorActive NO

say A respring by hand: sbreload asks the supervisor, which ends SpringBoard and starts a fresh one.
respring
expect new-springboard
)";
}

int runDemo(const DemoOptions& options, std::ostream& out, std::ostream& err)
{
    std::string folder = options.folder;
    if (folder.empty()) {
        std::string pattern = (fs::temp_directory_path() / "kavlor-demo-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            err << fmt::format("kavlor-sim demo: cannot make a temporary folder {}\n", pattern);
            return 1;
        }
        folder = pattern;
    }
    try {
        DeviceInstaller::install(folder, options.spec, false);
    } catch (const InstallError& error) {
        err << "kavlor-sim demo: " << error.what() << "\n";
        return 1;
    }
    out << fmt::format("Kavlor demo on a simulated iOS {} {} in {}\n", options.spec.iosVersion, options.spec.idiom, folder);

    ScenarioRunner::Options runOptions;
    runOptions.pretty = !options.json;
    runOptions.kavlorctlPath = options.kavlorctlPath;
    int status;
    {
        ScenarioRunner runner(folder, runOptions, out, err);
        status = runner.runScript(demoScript(), "demo");
    }
    out << fmt::format("\nThe device is in {}\n", folder);
    out << fmt::format("  its trace:    {}/var/log/kavlor-trace.jsonl  (kavlor-sim trace {} --pretty)\n", folder, folder);
    out << fmt::format("  its settings: {}/var/mobile/Library/Preferences/com.Quennic.KavlorPrefs.plist\n", folder);
    out << fmt::format("  play more:    kavlor-sim run {} -    (or kavlor-sim boot {})\n", folder, folder);
    return status;
}
