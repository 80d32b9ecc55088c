// The scenario commands and `expect` forms of a guest's restrictions: bulletins, gestures,
// the Today view, the close box, the lock-screen camera, the home screen's pages and the
// icon controller's view. Each asks SpringBoard through its control channel
// (device/host/RestrictionControl.cpp), whose answers are also traced.

#include "Expectations.h"
#include "ScenarioRunner.h"

#include <fmt/format.h>

#include <set>

namespace {

using Json = ScenarioRunner::Json;
using Arguments = std::vector<std::string>;

Json ask(ScenarioRunner& runner, Json request)
{
    std::string command = request.value("command", std::string());
    runner.requireBooted(command);
    auto reply = runner.askSpringBoard(request);
    if (!reply)
        throw ScenarioFailure(fmt::format("SpringBoard restarted while it handled {}", command));
    return *reply;
}

std::string joined(const Json& words)
{
    std::string text;
    for (const auto& word : words)
        text += (text.empty() ? "" : " ") + word.get<std::string>();
    return text.empty() ? "(empty)" : text;
}

// A label's text on one line: its line feeds written as \n.
std::string oneLine(const std::string& text)
{
    std::string result;
    for (char c : text)
        result += c == '\n' ? std::string("\\n") : std::string(1, c);
    return result;
}

std::string describeSubview(const Json& subview)
{
    std::string line = fmt::format("{} {}{}", subview.value("class", std::string()), subview.value("frame", std::string()),
        subview.value("hidden", false) ? " hidden" : "");
    if (subview.contains("text"))
        line += fmt::format(" text \"{}\"", oneLine(subview["text"].get<std::string>()));
    if (subview.contains("image"))
        line += " image " + subview["image"].get<std::string>();
    return line;
}

void checkOneOf(const std::string& word, const std::set<std::string>& allowed, const std::string& what)
{
    if (allowed.count(word))
        return;
    std::string list;
    for (const auto& option : allowed)
        list += (list.empty() ? "" : ", ") + option;
    throw ScenarioFailure(fmt::format("\"{}\" is not {} ({})", word, what, list));
}

long long parseNumber(const std::string& text)
{
    try {
        size_t used = 0;
        long long number = std::stoll(text, &used);
        if (used == text.size() && number >= 0)
            return number;
    } catch (...) {
    }
    throw ScenarioFailure(fmt::format("\"{}\" is not a whole number (0 or more)", text));
}

const std::set<std::string> kGestures { "control-center", "search", "today" };

// --- commands --------------------------------------------------------------------------------

void printToday(ScenarioRunner& runner, const Json& reply)
{
    int visible = reply.value("visible", 0);
    runner.out() << fmt::format("Today view: {} visible subview{}\n", visible, visible == 1 ? "" : "s");
    for (const auto& subview : reply.value("subviews", Json::array())) {
        if (!subview.value("hidden", false))
            runner.out() << "  " << describeSubview(subview) << "\n";
    }
    if (reply.contains("notice") && !reply["notice"].is_null())
        runner.out() << fmt::format("notice: \"{}\"\n", oneLine(reply["notice"].get<std::string>()));
}

void printHome(ScenarioRunner& runner, const Json& reply)
{
    int index = 0;
    for (const auto& subview : reply.value("subviews", Json::array()))
        runner.out() << fmt::format("  {} {}\n", index++, describeSubview(subview));
    runner.out() << fmt::format("wallpaper: {}\n", reply.value("wallpaper", std::string()));
}

} // namespace

std::vector<ScenarioCommand> restrictionScenarioCommands()
{
    std::vector<ScenarioCommand> commands;
    auto add = [&](ScenarioCommand command) { commands.push_back(std::move(command)); };
    add({ "bulletin", "bulletin BUNDLE_ID TEXT", "an app's notification reaches the bulletin board; prints whether it was published or dropped",
        2, 2, true,
        [](ScenarioRunner& runner, const Arguments& arguments) {
            auto reply = ask(runner, Json { { "command", "bulletin" }, { "bundleIdentifier", arguments[0] }, { "text", arguments[1] } });
            runner.out() << fmt::format("bulletin from {}: {}\n", arguments[0], reply.value("published", false) ? "published" : "dropped");
        },
        {} });
    add({ "bulletins", "bulletins", "print the bulletins published so far, oldest first",
        0, 0, false,
        [](ScenarioRunner& runner, const Arguments&) {
            for (const auto& bulletin : ask(runner, Json { { "command", "bulletins" } }).value("bulletins", Json::array()))
                runner.out() << fmt::format("{}: {}\n", bulletin.value("sectionID", std::string()), bulletin.value("text", std::string()));
        },
        {} });
    add({ "gesture", "gesture control-center|search|today", "swipe Control Centre open, pull search down or swipe to the Today view; prints began or refused",
        1, 1, true,
        [](ScenarioRunner& runner, const Arguments& arguments) {
            auto reply = ask(runner, Json { { "command", "gesture" }, { "kind", arguments[0] } });
            runner.out() << fmt::format("{}: {}\n", arguments[0], reply.value("began", false) ? "began" : "refused");
        },
        [](const Arguments& arguments) { checkOneOf(arguments[0], kGestures, "a gesture"); } });
    add({ "today", "today", "load the Today view and print its visible subviews and the notice text",
        0, 0, true, [](ScenarioRunner& runner, const Arguments&) { printToday(runner, ask(runner, Json { { "command", "today" } })); }, {} });
    add({ "close-box", "close-box BUNDLE_ID", "tap the close box of the app's icon; prints deleted, kept or no-icon",
        1, 1, true,
        [](ScenarioRunner& runner, const Arguments& arguments) {
            auto reply = ask(runner, Json { { "command", "close-box" }, { "bundleIdentifier", arguments[0] } });
            runner.out() << fmt::format("{}: {}\n", arguments[0], reply.value("result", std::string()));
        },
        {} });
    add({ "camera", "camera", "swipe to the lock-screen camera (both camera capabilities); prints opened or refused",
        0, 0, true,
        [](ScenarioRunner& runner, const Arguments&) {
            auto reply = ask(runner, Json { { "command", "camera" } });
            runner.out() << fmt::format("lock-screen camera: {}\n", reply.value("opened", false) ? "opened" : "refused");
        },
        {} });
    add({ "icons", "icons", "print the home-screen pages as SpringBoard holds them, one line a page, then the dock",
        0, 0, false,
        [](ScenarioRunner& runner, const Arguments&) {
            auto reply = ask(runner, Json { { "command", "icons" } });
            int number = 1;
            for (const auto& page : reply.value("pages", Json::array()))
                runner.out() << fmt::format("page {}: {}\n", number++, joined(page));
            runner.out() << fmt::format("dock: {}\n", joined(reply.value("dock", Json::array())));
        },
        {} });
    add({ "move-icon", "move-icon BUNDLE_ID PAGE INDEX", "drag the app's icon to a page (from 1; one past the last makes a new page) at an index (from 0); prints placed or refused",
        3, 3, true,
        [](ScenarioRunner& runner, const Arguments& arguments) {
            auto reply = ask(runner, Json { { "command", "move-icon" }, { "bundleIdentifier", arguments[0] }, { "page", parseNumber(arguments[1]) },
                                         { "index", parseNumber(arguments[2]) } });
            runner.out() << fmt::format("{}: {}\n", arguments[0], reply.value("placed", false) ? "placed" : "refused");
        },
        [](const Arguments& arguments) {
            if (parseNumber(arguments[1]) < 1)
                throw ScenarioFailure("pages are counted from 1");
            parseNumber(arguments[2]);
        } });
    add({ "home", "home", "press the home button (the home screen appears) and print the icon controller's view: its subviews back to front, the wallpaper",
        0, 0, true, [](ScenarioRunner& runner, const Arguments&) { printHome(runner, ask(runner, Json { { "command", "home" } })); }, {} });
    return commands;
}

// --- expect forms ------------------------------------------------------------------------------

namespace {

// The last event NAME since the last action whose KEY is VALUE (any when KEY is empty).
std::optional<Json> lastEvent(ScenarioRunner& runner, const std::string& name, const std::string& key, const std::string& value)
{
    std::optional<Json> found;
    for (const auto& event : runner.eventsSinceLastAction()) {
        if (event.value("event", std::string()) == name && (key.empty() || event.value(key, std::string()) == value))
            found = event;
    }
    return found;
}

std::string sinceLastAction(ScenarioRunner& runner)
{
    const ScenarioLine* action = runner.lastAction();
    return action ? fmt::format("since line {} ({})", action->number, action->text) : "since the run began";
}

// An outcome traced by the last action: event NAME with KEY = subject, whose FIELD must be wanted.
void expectOutcome(ScenarioRunner& runner, const std::string& name, const std::string& key, const std::string& subject,
    const std::string& field, const std::string& wanted)
{
    auto event = lastEvent(runner, name, key, subject);
    std::string what = key.empty() ? name : fmt::format("{} {}", name, subject);
    if (!event)
        throw ScenarioFailure(fmt::format("expected {} to be {}; there was no \"{}\" event {}", what, wanted, name, sinceLastAction(runner)));
    std::string actual = event->value(field, std::string());
    if (actual != wanted)
        throw ScenarioFailure(fmt::format("expected {} to be {}; it was {} {}", what, wanted, actual, sinceLastAction(runner)));
}

// The dock (page 0) or a page of the home screen as SpringBoard holds it, icon by icon.
void expectIconList(ScenarioRunner& runner, const char* key, long long page, const Arguments& wanted)
{
    auto reply = ask(runner, Json { { "command", "icons" } });
    Json list = Json::array();
    if (page == 0)
        list = reply.value(key, Json::array());
    else if (auto pages = reply.value(key, Json::array()); page <= static_cast<long long>(pages.size()))
        list = pages[static_cast<size_t>(page - 1)];
    Arguments actual;
    for (const auto& icon : list)
        actual.push_back(icon.get<std::string>());
    if (actual != wanted) {
        std::string where = page == 0 ? std::string("the dock") : fmt::format("page {}", page);
        throw ScenarioFailure(fmt::format("expected {} to hold {}; it holds {}", where, joined(Json(wanted)), joined(Json(actual))));
    }
}

} // namespace

std::vector<ExpectationDefinition> restrictionExpectationForms()
{
    return {
        { { "bulletin", "expect bulletin BUNDLE_ID published|dropped", "the app's bulletin of the last action was published or dropped" }, 2, 2, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) { expectOutcome(runner, "bulletin", "sectionID", words[0], "result", words[1]); },
            [](const Arguments& words) { checkOneOf(words[1], { "published", "dropped" }, "a bulletin's outcome"); } },
        { { "gesture", "expect gesture control-center|search|today began|refused", "the gesture of the last action began or was refused" }, 2, 2, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) { expectOutcome(runner, "gesture", "kind", words[0], "result", words[1]); },
            [](const Arguments& words) {
                checkOneOf(words[0], kGestures, "a gesture");
                checkOneOf(words[1], { "began", "refused" }, "a gesture's outcome");
            } },
        { { "today", "expect today notice|widgets", "the Today view of the last action showed only the notice, or its widgets and no notice" }, 1, 1, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) {
                auto event = lastEvent(runner, "today-view", "", "");
                if (!event)
                    throw ScenarioFailure(fmt::format("expected a Today view; there was no \"today-view\" event {}", sinceLastAction(runner)));
                std::string notice = event->value("notice", std::string());
                std::string visible = event->value("visible", std::string());
                bool ok = words[0] == "notice" ? !notice.empty() && visible == "1" : notice.empty() && visible != "0";
                if (!ok)
                    throw ScenarioFailure(fmt::format("expected the Today view to show {}; it showed {} subview(s){}", words[0], visible,
                        notice.empty() ? ", no notice" : fmt::format(", the notice \"{}\"", oneLine(notice))));
            },
            [](const Arguments& words) { checkOneOf(words[0], { "notice", "widgets" }, "what the Today view shows"); } },
        { { "app", "expect app BUNDLE_ID deleted|kept|no-icon", "the close box of the last action deleted the app, or left it, or found no icon" }, 2, 2, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) { expectOutcome(runner, "close-box", "bundleIdentifier", words[0], "result", words[1]); },
            [](const Arguments& words) { checkOneOf(words[1], { "deleted", "kept", "no-icon" }, "a close box's outcome"); } },
        { { "camera", "expect camera opened|refused", "the lock-screen camera of the last action opened or was refused" }, 1, 1, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) {
                expectOutcome(runner, "lock-screen-camera", "", "", "opened", words[0] == "opened" ? "YES" : "NO");
            },
            [](const Arguments& words) { checkOneOf(words[0], { "opened", "refused" }, "the camera's outcome"); } },
        { { "icon", "expect icon BUNDLE_ID placed|absent", "the home screen (pages or dock) holds the app's icon, or does not" }, 2, 2, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) {
                auto reply = ask(runner, Json { { "command", "icons" } });
                std::string where;
                int number = 1;
                for (const auto& page : reply.value("pages", Json::array())) {
                    for (const auto& icon : page) {
                        if (icon == words[0])
                            where = fmt::format("page {}", number);
                    }
                    ++number;
                }
                for (const auto& icon : reply.value("dock", Json::array())) {
                    if (icon == words[0])
                        where = "the dock";
                }
                if ((words[1] == "placed") != !where.empty())
                    throw ScenarioFailure(fmt::format("expected the icon of {} to be {}; it is {}", words[0], words[1],
                        where.empty() ? "on no page and not in the dock" : "on " + where));
            },
            [](const Arguments& words) { checkOneOf(words[1], { "placed", "absent" }, "an icon's state"); } },
        { { "dock", "expect dock [BUNDLE_ID...]", "the dock holds exactly these icons, in this order" }, 0, -1, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) { expectIconList(runner, "dock", 0, words); }, {} },
        { { "page", "expect page N [BUNDLE_ID...]", "home-screen page N (from 1) holds exactly these icons, in this order" }, 1, -1, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) {
                expectIconList(runner, "pages", parseNumber(words[0]), Arguments(words.begin() + 1, words.end()));
            },
            [](const Arguments& words) {
                if (parseNumber(words[0]) < 1)
                    throw ScenarioFailure("pages are counted from 1");
            } },
        { { "wallpaper", "expect wallpaper WIDTHxHEIGHT|no-image|none", "the back subview of the icon controller's view is an image view showing an image that size, one without image, or no image view" }, 1, 1, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) {
                std::string actual = ask(runner, Json { { "command", "home-view" } }).value("wallpaper", std::string());
                std::string wanted = words[0] == "no-image" ? "no image" : words[0];
                if (actual != wanted)
                    throw ScenarioFailure(fmt::format("expected the wallpaper {}; it is {}", words[0], actual));
            },
            {} },
        { { "image-views", "expect image-views N", "the icon controller's view holds exactly N image views" }, 1, 1, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) {
                long long actual = ask(runner, Json { { "command", "home-view" } }).value("imageViews", 0);
                if (actual != parseNumber(words[0]))
                    throw ScenarioFailure(fmt::format("expected {} image view(s) in the icon controller's view; there are {}", words[0], actual));
            },
            [](const Arguments& words) { parseNumber(words[0]); } },
    };
}
