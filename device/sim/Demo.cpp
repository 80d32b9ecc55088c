#include "Demo.h"

#include "HTMLText.h"
#include "ScenarioRunner.h"

#include <fmt/format.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

std::string demoScript(const std::string& storyFolder)
{
    return fmt::format(R"(# The road of one guest visit, and a second one with a time limit, on the lock screen's panel.
say 1. The owner sets Kavlor up in the preference bundle (kavlorctl): the owner account "Admin" and two guests, Emma and Noah. Emma may not use Safari or the camera, and her notifications of those apps, search and the Today view are blocked. Noah has 5 minutes.
kavlorctl user add Admin --passcode 123456 --avatar "{samples}/avatar-default.png"
kavlorctl user add Emma --passcode 1111 --avatar "{samples}/avatar-mira.png" --wallpaper "{samples}/wallpaper-dusk.png" --block notifications,search,today
kavlorctl user add Noah --passcode 2222 --avatar "{samples}/avatar-otto.png" --block time-limit --time-limit 0
kavlorctl set adminPasscode 123456
kavlorctl apps disable Emma com.apple.camera com.apple.mobilesafari
say What the profile store will read for each account: record fields, blocked features, time limit in minutes, disabled apps.
kavlorctl user list
say The owner switches the tweak on and keeps the account panel hidden until it is asked for.
kavlorctl set toggleKavlor true
kavlorctl set hideLSAccount true

say 2. The device boots. The supervisor (launchd) starts SpringBoard; MobileSubstrate loads libKavlor.so, whose initialisers read the settings and install their hooks before SpringBoard's own start-up. When SpringBoard loads the owner's home screen, Kavlor keeps a copy of that layout in its icon-state file. As SpringBoard finishes launching, Kavlor shows its compatibility notice; the owner confirms it once.
boot
expect event springboard-start groups=panel,base,switching
expect file /var/mobile/Library/Preferences/com.Quennic.KavlorIconState.plist
expect alert "IMPORTANT NOTE!" Okay
screenshot "{story}/01-notice.png"
alert tap Okay
expect setting showImportantAlert NO
say The owner's home screen, page by page, then the dock:
icons

say 3. The owner adds a third guest while SpringBoard runs. kavlorctl posts the Darwin notification; Kavlor's bridge in SpringBoard re-posts it, and the lock screen's panel is rebuilt with the new account.
kavlorctl user add Liam --passcode 3333
expect event notification centre=local name=com.Quennic.Kavlor/addedNewUser

say 4. Before Emma's visit the owner unlocks the device and uses two apps; they wait in the app switcher. Then the side button locks the device again.
unlock 123456
expect unlocked
launch-app com.apple.mobilesafari MobileSafari
launch-app com.apple.camera Camera
switcher
go-home
lock
expect locked

say 5. On the lock screen the owner double-taps the notification area: the scroll view posts ShowUserAccountNotification and the hidden panel grows and fades in.
tap lockscreen 2
wait 0.5
expect panel panel hidden=NO
screenshot "{story}/02-panel.png"
say The owner taps Emma's avatar and Kavlor asks for confirmation.
tap account Emma
expect alert Kavlor YES|NO
screenshot "{story}/03-confirm.png"
say YES: the panel writes activeUser = Emma and isKavlorActive = YES and posts com.Quennic.Kavlor/startGuestMode. Kavlor's start handler clears the app switcher and resprings (sbreload).
alert tap YES
expect setting activeUser Emma
expect setting isKavlorActive YES
expect count switcher-layout-removed 2
say The new SpringBoard made its once-per-start decision again: Kavlor read Emma's record and installed the guest hooks too. Nothing of the owner's apps is left in the switcher.
expect new-springboard
expect event springboard-start groups=panel,base,switching,guest
expect hook FBProcess isForeground replaced
switcher
expect switcher-empty

say 6. At the passcode prompt Emma types a wrong passcode, then her own, 1111. SpringBoard refuses hers too (it is not the device passcode); Kavlor sees Emma's own passcode and unlocks with the owner's stored one, which Emma never learns.
screenshot "{story}/04-passcode.png" passcode
unlock 0000
expect locked
expect no-event unlock-attempt source=owner
unlock 1111
expect event unlock-attempt source=typed result=refused
expect event unlock-attempt source=owner result=unlocked
expect unlocked

say 7. Emma's home screen: her wallpaper behind the owner's layout, without the icons of her disabled apps (Safari is gone from the dock, the camera from the first page).
icons
expect icon com.apple.mobilesafari absent
expect icon com.apple.camera absent
home
expect wallpaper 180x320
screenshot "{story}/05-guest-home.png"
say A killed app: something brings Safari forward anyway (a link, say). SpringBoard asks its process whether it is in front, and Kavlor starts killall on it.
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

say 8. Emma logs out: on the lock screen she opens the panel, its settings sheet, and taps Logout. The panel posts com.Quennic.Kavlor/endGuestMode; Kavlor's end handler makes Admin the active account again and resprings without the guest hooks.
lock
tap lockscreen 2
wait 0.5
tap settings
wait 0.5
screenshot "{story}/06-settings-sheet.png"
tap logout
expect new-springboard
expect setting activeUser Admin
expect setting isKavlorActive NO
expect event springboard-start groups=panel,base,switching
expect no-hook FBProcess isForeground
say The owner's layout comes back from Kavlor's copy: Safari in the dock, the camera and Maps on the first page, no third page.
unlock 123456
icons
expect dock com.apple.mobilephone com.apple.mobilesafari com.apple.MobileSMS com.apple.Music
expect icon com.apple.camera placed
expect page 3
screenshot "{story}/07-owner-home.png"

say 9. Noah's visit has a time limit of 5 minutes. The owner picks him on the lock screen's panel in the same way; he unlocks with his own passcode, 2222.
lock
tap lockscreen 2
wait 0.5
tap account Noah
alert tap YES
expect new-springboard
expect setting activeUser Noah
unlock 2222
expect unlocked
say Kavlor's countdown label sits in the status bar (fully transparent, as Kavlor makes it) and counts down once a second on SpringBoard's run loop; the device's clock is virtual, so minutes pass in milliseconds.
wait 1
countdown
expect countdown 5:02
wait 59
countdown
expect countdown 4:03
screenshot "{story}/08-countdown.png"
say At 0:00 one more second passes in silence; the next one ends the visit: Kavlor posts com.Quennic.Kavlor/endGuestMode, and the end handler makes Admin active again and resprings.
wait 245
expect setting activeUser Admin
expect setting isKavlorActive NO
expect event springboard-start groups=panel,base,switching
expect locked
screenshot "{story}/09-owner-back.png"
)", fmt::arg("samples", KAVLOR_SAMPLES_DIR), fmt::arg("story", storyFolder));
}

namespace {

// The story as a page: each narration line of the script, and each screenshot that was
// taken, in the order of the script. Pictures the run did not reach are left out.
void writeStoryPage(const std::string& script, const std::string& storyFolder, const std::string& title)
{
    std::ofstream page(storyFolder + "/index.html");
    page << "<!doctype html>\n<html><head><meta charset=\"utf-8\"><title>" << escapedForHTML(title) << "</title>\n"
         << "<style>body{font-family:sans-serif;max-width:820px;margin:2em auto;color:#222}"
            "p{line-height:1.45}img{width:300px;border-radius:24px;box-shadow:0 2px 10px #0004;margin:.5em 0 1.5em}"
            "code{background:#eee;padding:0 .2em}</style></head><body>\n"
         << "<h1>" << escapedForHTML(title) << "</h1>\n";
    std::istringstream lines(script);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("say ", 0) == 0) {
            page << "<p>" << escapedForHTML(line.substr(4)) << "</p>\n";
        } else if (line.rfind("screenshot ", 0) == 0) {
            size_t open = line.find('"'), close = line.find('"', open + 1);
            if (open == std::string::npos || close == std::string::npos)
                continue;
            fs::path picture = line.substr(open + 1, close - open - 1);
            std::error_code error;
            if (fs::exists(picture, error))
                page << "<img src=\"" << escapedForHTML(picture.filename().string()) << "\" alt=\"" << escapedForHTML(picture.stem().string()) << "\">\n";
        }
    }
    page << "</body></html>\n";
}

} // namespace

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
    // The pictures and the page that tells the story with them, beside the trace.
    std::string storyFolder = fs::absolute(folder).string() + "/var/log/story";
    std::error_code ignored;
    fs::remove_all(storyFolder, ignored);
    fs::create_directories(storyFolder, ignored);
    std::string script = demoScript(storyFolder);
    int status;
    {
        ScenarioRunner runner(folder, runOptions, out, err);
        status = runner.runScript(script, "demo");
    }
    writeStoryPage(script, storyFolder,
        fmt::format("Kavlor: one guest visit on a simulated iOS {} {}", options.spec.iosVersion, options.spec.idiom));
    out << fmt::format("\nThe device is in {}\n", folder);
    out << fmt::format("  its trace:    {}/var/log/kavlor-trace.jsonl  (kavlor-sim trace {} --pretty)\n", folder, folder);
    out << fmt::format("  its settings: {}/var/mobile/Library/Preferences/com.Quennic.KavlorPrefs.plist\n", folder);
    out << fmt::format("  the story:    {}/index.html  (a screenshot at each step)\n", storyFolder);
    out << fmt::format("  play more:    kavlor-sim run {} -    (or kavlor-sim boot {})\n", folder, folder);
    return status;
}
