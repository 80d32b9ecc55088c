#include "Demo.h"

#include "ScenarioRunner.h"

#include <fmt/format.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

std::string demoScript()
{
    return fmt::format(R"(# The road of two guest visits, as far as the device plays it today.
say 1. The owner sets Kavlor up in the preference bundle (kavlorctl): the owner account "Admin" and two guests, Emma and Noah. Emma may not use Safari or the camera, and her notifications of those apps, search and the Today view are blocked.
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

say 4. Before Emma's visit the owner unlocks the device and uses two apps; they wait in the app switcher.
unlock 123456
expect unlocked
launch-app com.apple.mobilesafari MobileSafari
launch-app com.apple.camera Camera
switcher
say The owner picks Emma in the lock-screen panel and confirms. The panel's actions are not built yet, so kavlorctl writes the two settings its YES writes (activeUser, isKavlorActive) and the demo posts what it posts, com.Quennic.Kavlor/startGuestMode. Kavlor's start handler clears the app switcher and resprings (sbreload).
kavlorctl set activeUser Emma
kavlorctl set isKavlorActive true
post-local com.Quennic.Kavlor/startGuestMode
expect count switcher-layout-removed 2
say The new SpringBoard made its once-per-start decision again: Kavlor read Emma's record and installed the guest hooks too. Nothing of the owner's apps is left in the switcher.
expect new-springboard
expect event springboard-start groups=panel,base,switching,guest
expect hook FBProcess isForeground replaced
switcher
expect switcher-empty
say Hidden apps: the icon lists refused the icons of Emma's disabled apps, so Safari is gone from the dock and the camera from the first page.
icons
expect icon com.apple.mobilesafari absent
expect icon com.apple.camera absent
say Her wallpaper is behind the icons: the back view of the home screen.
home
expect wallpaper 180x320

say 5. Emma types a wrong passcode, then her own, 1111. SpringBoard refuses hers too (it is not the device passcode); Kavlor sees Emma's own passcode and unlocks with the owner's stored one, which Emma never learns.
unlock 0000
expect locked
expect no-event unlock-attempt source=owner
unlock 1111
expect event unlock-attempt source=typed result=refused
expect event unlock-attempt source=owner result=unlocked
expect unlocked

say 6. A killed app: something brings Safari forward anyway (a link, say). SpringBoard asks its process whether it is in front, and Kavlor starts killall on it.
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

say 7. Emma taps Logout; the panel posts com.Quennic.Kavlor/endGuestMode (posted here by the demo). Kavlor's end handler makes Admin the active account again and resprings without the guest hooks.
post-local com.Quennic.Kavlor/endGuestMode
expect new-springboard
expect setting activeUser Admin
expect setting isKavlorActive NO
expect event springboard-start groups=panel,base,switching
expect no-hook FBProcess isForeground
say The owner's layout comes back from Kavlor's copy: Safari in the dock, the camera and Maps on the first page, no third page.
icons
expect dock com.apple.mobilephone com.apple.mobilesafari com.apple.MobileSMS com.apple.Music
expect icon com.apple.camera placed
expect page 3

say 8. Noah's visit has a time limit of 5 minutes. His guest mode starts the same way; he unlocks with his own passcode, 2222.
kavlorctl set activeUser Noah
kavlorctl set isKavlorActive true
post-local com.Quennic.Kavlor/startGuestMode
expect new-springboard
unlock 2222
expect unlocked
say Kavlor's countdown label sits in the status bar (fully transparent, as Kavlor makes it) and counts down once a second on SpringBoard's run loop; the device's clock is virtual, so minutes pass in milliseconds.
wait 1
countdown
expect countdown 5:02
wait 59
countdown
expect countdown 4:03
say At 0:00 one more second passes in silence; the next one ends the visit: Kavlor posts com.Quennic.Kavlor/endGuestMode, and the end handler makes Admin active again and resprings.
wait 245
expect setting activeUser Admin
expect setting isKavlorActive NO
expect event springboard-start groups=panel,base,switching
expect locked
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
