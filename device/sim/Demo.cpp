#include "Demo.h"

#include "ScenarioRunner.h"

#include <fmt/format.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

const char* demoScript()
{
    return R"(# The road of one guest visit, as far as the device plays it today.
say 1. The owner sets Kavlor up in the preference bundle (kavlorctl): the owner account "Admin" and two guests, Emma and Noah.
kavlorctl user add Admin --passcode 123456
kavlorctl user add Emma --passcode 1111 --block control-center,search
kavlorctl user add Noah --passcode 2222 --block time-limit --time-limit 0
kavlorctl set adminPasscode 123456
kavlorctl apps disable Emma com.apple.camera com.apple.mobilesafari
say What the profile store will read for each account: record fields, blocked features, time limit in minutes, disabled apps.
kavlorctl user list
say The owner switches the tweak on.
kavlorctl set toggleKavlor true
expect setting toggleKavlor YES

say 2. The device boots. The supervisor (launchd) starts SpringBoard; MobileSubstrate loads libKavlor.so, whose initialisers read the settings and install their hooks before SpringBoard's own start-up. The methods Kavlor replaced or added:
boot
expect event springboard-start groups=panel,base,switching
hooks

say 3. The owner adds a third guest while SpringBoard runs. kavlorctl posts the Darwin notification; Kavlor's bridge in SpringBoard re-posts it on SpringBoard's local centre, which the lock screen's account panel will listen to (the panel is not built yet).
kavlorctl user add Liam --passcode 3333
expect event notification centre=local name=com.Quennic.Kavlor/addedNewUser

say 4. Emma's visit starts. On a device the owner picks her in the lock-screen panel and confirms; the panel and the start handler are not built yet, so kavlorctl writes the two settings the panel's YES writes (activeUser, isKavlorActive) and the demo asks for the respring (sbreload) the start handler will ask for.
kavlorctl set activeUser Emma
kavlorctl set isKavlorActive true
respring
say The new SpringBoard made its once-per-start decision again: Kavlor read Emma's record and installed the guest hooks too.
expect new-springboard
expect event springboard-start groups=panel,base,switching,guest
expect hook FBProcess isForeground replaced
expect hook UIStatusBarWindow timerFired added

say 5. Emma's visit ends. Standing in for the end handler (not built yet), kavlorctl makes the owner the active account again and turns guest mode off, and SpringBoard restarts without the guest hooks.
kavlorctl set activeUser Admin
kavlorctl set isKavlorActive false
respring
expect new-springboard
expect event springboard-start groups=panel,base,switching
expect no-hook FBProcess isForeground
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
    runOptions.pretty = options.pretty;
    runOptions.story = !options.json && !options.pretty;
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
