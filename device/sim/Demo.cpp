#include "Demo.h"

#include "ScenarioRunner.h"

#include <fmt/format.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

std::string demoScript()
{
    return fmt::format(R"(# The road of one guest visit, as far as the device plays it today.
say 1. The owner sets Kavlor up in the preference bundle (kavlorctl): the owner account "Admin" and two guests. Emma may not use Safari or the camera, and her notifications of those apps, search and the Today view are blocked.
kavlorctl user add Admin --passcode 123456
kavlorctl user add Emma --passcode 1111 --wallpaper "{samples}/wallpaper-dusk.png" --block notifications,search,today
kavlorctl user add Noah --passcode 2222 --block time-limit --time-limit 0
kavlorctl set adminPasscode 123456
kavlorctl apps disable Emma com.apple.camera com.apple.mobilesafari
say What the profile store will read for each account: record fields, blocked features, time limit in minutes, disabled apps.
kavlorctl user list
say The owner switches the tweak on.
kavlorctl set toggleKavlor true
expect setting toggleKavlor YES

say 2. The device boots. The supervisor (launchd) starts SpringBoard; MobileSubstrate loads libKavlor.so, whose initialisers read the settings and install their hooks before SpringBoard's own start-up. When SpringBoard loads the owner's home screen, Kavlor keeps a copy of that layout in its icon-state file.
boot
expect event springboard-start groups=panel,base,switching
expect file /var/mobile/Library/Preferences/com.Quennic.KavlorIconState.plist
say The owner's home screen, page by page, then the dock:
icons

say 3. The owner adds a third guest while SpringBoard runs. kavlorctl posts the Darwin notification; Kavlor's bridge in SpringBoard re-posts it on SpringBoard's local centre, which the lock screen's account panel will listen to.
kavlorctl user add Liam --passcode 3333
expect event notification centre=local name=com.Quennic.Kavlor/addedNewUser

say 4. Emma's visit starts. On a device the owner picks her in the lock-screen panel and confirms; standing in for the panel and the start handler, kavlorctl writes the two settings the panel's YES writes (activeUser, isKavlorActive) and the demo asks for the respring (sbreload) the start handler asks for.
kavlorctl set activeUser Emma
kavlorctl set isKavlorActive true
respring
expect new-springboard
expect event springboard-start groups=panel,base,switching,guest
say Hidden apps: the icon lists refused the icons of Emma's disabled apps, so Safari is gone from the dock and the camera from the first page.
icons
expect icon com.apple.mobilesafari absent
expect icon com.apple.camera absent
say Her wallpaper is behind the icons: the back view of the home screen.
home
expect wallpaper 180x320

say 5. A killed app: something brings Safari forward anyway (a link, say). SpringBoard asks its process whether it is in front, and Kavlor starts killall on it.
launch-app com.apple.mobilesafari MobileSafari
expect event kill name=MobileSafari
expect event process-terminated bundleIdentifier=com.apple.mobilesafari
home
say Safari's notification is dropped; a message from another app is delivered.
bulletin com.apple.mobilesafari "Your reading list is ready"
expect bulletin com.apple.mobilesafari dropped
bulletin com.apple.MobileSMS "Dinner at eight?"
expect bulletin com.apple.MobileSMS published
say Blocked features stay closed: search does not begin, and the Today view shows only Kavlor's notice.
gesture search
expect gesture search refused
today
expect today notice
say Emma moves Maps to a page of its own.
move-icon com.apple.Maps 3 0
expect page 3 com.apple.Maps

say 6. Emma's visit ends. Standing in for the end handler, kavlorctl makes the owner the active account again and turns guest mode off, and SpringBoard restarts without the guest hooks.
kavlorctl set activeUser Admin
kavlorctl set isKavlorActive false
respring
expect new-springboard
expect event springboard-start groups=panel,base,switching
expect no-hook FBProcess isForeground
say The owner's layout comes back from Kavlor's copy: Safari in the dock, the camera and Maps on the first page, no third page.
icons
expect dock com.apple.mobilephone com.apple.mobilesafari com.apple.MobileSMS com.apple.Music
expect icon com.apple.camera placed
expect page 3
)", fmt::arg("samples", KAVLOR_SAMPLES_DIR));
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
