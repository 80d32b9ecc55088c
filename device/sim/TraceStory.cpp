#include "TraceStory.h"

#include "TraceFollower.h"

#include <fmt/format.h>

#include <filesystem>
#include <set>

namespace {

using Json = nlohmann::ordered_json;

std::string text(const Json& event, const char* key)
{
    if (!event.contains(key))
        return "";
    const auto& value = event[key];
    return value.is_string() ? value.get<std::string>() : value.dump();
}

// A long text cut after about 100 characters (at a space), for a line of the story.
std::string shortened(const std::string& text)
{
    constexpr size_t kLimit = 100;
    if (text.size() <= kLimit)
        return text;
    size_t cut = text.rfind(' ', kLimit);
    if (cut == std::string::npos) {
        cut = kLimit;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut; // not inside a character
    }
    return text.substr(0, cut) + " …";
}

// A logged dictionary spans lines; the story keeps it on one.
std::string oneLine(const std::string& logged)
{
    std::string result;
    bool blank = false;
    for (char c : logged) {
        bool isBlank = c == '\n' || c == ' ' || c == '\t';
        if (isBlank && blank)
            continue;
        result += isBlank ? ' ' : c;
        blank = isBlank;
    }
    return result;
}

std::string sentence(const Json& event)
{
    const std::string name = text(event, "event");
    if (name == "boot")
        return fmt::format("the device boots ({} clock)", text(event, "clock"));
    if (name == "shutdown")
        return "the device is switched off";
    if (name == "springboard-launch")
        return fmt::format("starts SpringBoard (pid {})", text(event, "springboard"));
    if (name == "springboard-exit")
        return fmt::format("SpringBoard (pid {}) ended{}: {}", text(event, "springboard"),
            event.value("expected", true) ? "" : " unexpectedly", text(event, "status"));
    if (name == "respring")
        return fmt::format("respring asked for by pid {}: ends SpringBoard (pid {}) to start a fresh one", text(event, "requester"),
            text(event, "springboard"));
    if (name == "tweak-load")
        return fmt::format("MobileSubstrate loaded {}", std::filesystem::path(text(event, "path")).filename().string());
    if (name == "tweak-load-failed")
        return fmt::format("MobileSubstrate could not load {}: {}", text(event, "path"), text(event, "error"));
    if (name == "springboard-start") {
        std::string groups = text(event, "groups");
        return fmt::format("SpringBoard starts on iOS {} ({}); {}", text(event, "ios"), text(event, "idiom"),
            groups.empty() ? "no tweak hooks installed" : "Kavlor installed its hook groups: " + groups);
    }
    if (name == "springboard-ready")
        return "SpringBoard is ready: lock screen, status bar, icons and home screen are up";
    if (name == "log")
        return "logged: " + oneLine(text(event, "text"));
    if (name == "settings-write")
        return fmt::format("wrote the setting {} = {}", text(event, "key"), text(event, "value"));
    if (name == "file-write")
        return fmt::format("wrote the {} ({})", text(event, "what"), text(event, "path"));
    if (name == "notification") {
        std::string centre = text(event, "centre");
        std::string direction = text(event, "direction");
        if (centre == "local")
            return fmt::format("posted {} on SpringBoard's local notification centre", text(event, "name"));
        return fmt::format("{} the Darwin notification {}", direction == "deliver" ? "received" : "posted", text(event, "name"));
    }
    if (name == "observed")
        return fmt::format("an observer got {} (object {}, user info {})", text(event, "name"), text(event, "object"), text(event, "userInfo"));
    if (name == "spawn")
        return fmt::format("started {} ({})", text(event, "path"), text(event, "argv"));
    if (name == "kill") {
        // killall traces a name that matched nothing with a null target.
        bool found = event.contains("target") && !event["target"].is_null();
        return found ? fmt::format("ended {} (pid {}) with signal {}", text(event, "name"), text(event, "target"), text(event, "signal"))
                     : fmt::format("found no process named {}", text(event, "name"));
    }
    if (name == "process-launched")
        return fmt::format("opened the app {} ({})", text(event, "bundleIdentifier"), text(event, "name"));
    if (name == "unlock-attempt")
        return fmt::format("the lock screen tried the {} passcode: {}", text(event, "source") == "owner" ? "owner's stored" : "typed",
            text(event, "result"));
    if (name == "unlocked")
        return "the device is unlocked";
    if (name == "lock-screen")
        return text(event, "state") == "dismissed" ? "the lock screen goes away" : "the lock screen is shown";
    if (name == "switcher-layout-removed")
        return fmt::format("the app switcher removed the card of {} ({}, reason {})", text(event, "bundleIdentifier"), text(event, "how"),
            text(event, "reason"));
    if (name == "process-terminated")
        return fmt::format("saw the app {} end: {}", text(event, "bundleIdentifier"), text(event, "reason"));
    if (name == "bulletin-published")
        return fmt::format("the bulletin board published a notification of {}", text(event, "sectionID"));
    if (name == "bulletin")
        return fmt::format("a notification of {} (\"{}\") arrived: {}", text(event, "sectionID"), text(event, "text"), text(event, "result"));
    if (name == "gesture")
        return fmt::format("the {} gesture {}", text(event, "kind"), text(event, "result") == "began" ? "began" : "was refused");
    if (name == "today-view") {
        std::string notice = text(event, "notice");
        for (size_t at = notice.find('\n'); at != std::string::npos; at = notice.find('\n', at))
            notice.replace(at, 1, "\\n");
        return fmt::format("the Today view shows {} subview(s){}", text(event, "visible"), notice.empty() ? "" : fmt::format(": \"{}\"", notice));
    }
    if (name == "lock-screen-camera")
        return fmt::format("the lock-screen camera {}", text(event, "opened") == "YES" ? "opened" : "was refused");
    if (name == "close-box")
        return fmt::format("the close box of {}: {}", text(event, "bundleIdentifier"), text(event, "result"));
    if (name == "icon-moved")
        return fmt::format("moved {} to page {} at {}: {}", text(event, "bundleIdentifier"), text(event, "page"), text(event, "index"), text(event, "result"));
    if (name == "home")
        return fmt::format("the home screen's view holds {} subview(s), {} image view(s); the back one shows {}", text(event, "subviews"),
            text(event, "imageViews"), text(event, "wallpaper") == "none" ? "no wallpaper" : "a wallpaper of " + text(event, "wallpaper"));
    if (name == "tap")
        return fmt::format("a finger taps {} ({})", text(event, "what"), text(event, "view"));
    if (name == "gesture-recognized")
        return fmt::format("{} recognised a gesture on {}", text(event, "recognizer"), text(event, "view"));
    if (name == "lock")
        return "the side button locks the device";
    if (name == "alert")
        return fmt::format("shows the alert \"{}\": \"{}\" [{}]", text(event, "title"), shortened(oneLine(text(event, "message"))),
            text(event, "actions"));
    if (name == "alert-action")
        return fmt::format("the alert \"{}\" is answered \"{}\"", text(event, "title"), text(event, "action"));
    if (name == "view-animation")
        return fmt::format("animates {} over {} s ({})", text(event, "view").empty() ? std::string("views") : text(event, "view"),
            text(event, "duration"), text(event, "kind"));
    std::string generic = name;
    for (auto it = event.begin(); it != event.end(); ++it) {
        static const std::set<std::string> own { "time", "pid", "process", "event" };
        if (!own.count(it.key()))
            generic += fmt::format(" {}={}", it.key(), text(event, it.key().c_str()));
    }
    return generic;
}

bool leftOut(const Json& event)
{
    static const std::set<std::string> innerSteps { "settings-bind", "hook-groups", "springboard-step", "springboard-did-finish-launching",
        "icon-state-load", "icon-state-save", "icon-model-empty", "icon-model-layout", "application-opened", "stack-view-layout",
        // the gesture commands tell these in one line of their own
        "gesture-refused", "search", "control-center" };
    std::string name = text(event, "event");
    if (innerSteps.count(name))
        return true;
    // An alert's presentation and dismissal: its own "alert" and "alert-action" tell them.
    if ((name == "view-controller-presented" || name == "view-controller-dismissed") && text(event, "presented") == "UIAlertController")
        return true;
    // Every settings write is followed by the domain's reload notification; the write says it all.
    std::string notification = text(event, "name");
    return name == "notification" && notification.size() > 11 && notification.ends_with("/ReloadPrefs");
}

} // namespace

std::optional<std::string> storyLine(const Json& event)
{
    if (leftOut(event))
        return std::nullopt;
    return fmt::format("   {:>8.3f}  {:<12} {}", event.value("time", 0.0), text(event, "process"), sentence(event));
}
