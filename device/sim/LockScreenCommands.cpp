#include "LockScreenCommands.h"

#include <fmt/format.h>

#include <set>
#include <sstream>

namespace {

using Json = ScenarioRunner::Json;
using Arguments = std::vector<std::string>;

const std::set<std::string> kPanelButtons { "settings", "dismiss", "respring", "logout", "hide" };

long long parseTaps(const std::string& word)
{
    size_t used = 0;
    long long taps = 0;
    try {
        taps = std::stoll(word, &used);
    } catch (...) {
        used = 0;
    }
    if (used != word.size() || taps < 1 || taps > 10)
        throw ScenarioFailure(fmt::format("\"{}\" is not a number of taps (1 to 10)", word));
    return taps;
}

void checkTap(const Arguments& words)
{
    const std::string& what = words[0];
    if (what == "lockscreen") {
        if (words.size() == 2)
            parseTaps(words[1]);
        return;
    }
    if (what == "account") {
        if (words.size() != 2 || words[1].empty())
            throw ScenarioFailure("usage: tap account NAME");
        return;
    }
    if (kPanelButtons.contains(what)) {
        if (words.size() != 1)
            throw ScenarioFailure(fmt::format("usage: tap {}", what));
        return;
    }
    throw ScenarioFailure(fmt::format("\"{}\": tap lockscreen [N], tap account NAME, or tap settings|dismiss|respring|logout|hide", what));
}

void runTap(ScenarioRunner& runner, const Arguments& words)
{
    runner.requireBooted("tap");
    const std::string& what = words[0];
    if (what == "lockscreen")
        runner.askSpringBoard(Json { { "command", "tap-lockscreen" }, { "taps", words.size() == 2 ? parseTaps(words[1]) : 1 } });
    else if (what == "account")
        runner.askSpringBoard(Json { { "command", "tap-account" }, { "name", words[1] } });
    else
        runner.askSpringBoard(Json { { "command", "tap-panel" }, { "button", what } });
}

void checkAlert(const Arguments& words)
{
    if (words.empty())
        return;
    if (words.size() != 2 || words[0] != "tap")
        throw ScenarioFailure("usage: alert, or alert tap TITLE");
}

std::optional<Json> presentedAlert(ScenarioRunner& runner)
{
    runner.requireBooted("alert");
    auto reply = runner.askSpringBoard(Json { { "command", "alert" } });
    if (!reply)
        throw ScenarioFailure("SpringBoard restarted before it showed its alert");
    if (!reply->value("presented", false))
        return std::nullopt;
    return reply;
}

std::string buttonsOf(const Json& alert)
{
    std::string buttons;
    for (const auto& title : alert.value("actions", Json::array()))
        buttons += (buttons.empty() ? "" : "|") + title.get<std::string>();
    return buttons;
}

void printAlert(ScenarioRunner& runner)
{
    auto alert = presentedAlert(runner);
    if (!alert) {
        runner.out() << "no alert is presented\n";
        return;
    }
    runner.out() << "alert \"" << alert->value("title", std::string()) << "\"\n";
    std::istringstream message(alert->value("message", std::string()));
    for (std::string line; std::getline(message, line);)
        runner.out() << "  | " << line << "\n";
    runner.out() << "  buttons: " << buttonsOf(*alert) << "\n";
}

void runAlert(ScenarioRunner& runner, const Arguments& words)
{
    if (words.empty()) {
        printAlert(runner);
        return;
    }
    runner.requireBooted("alert tap");
    runner.askSpringBoard(Json { { "command", "alert-tap" }, { "title", words[1] } });
}

void expectAlert(ScenarioRunner& runner, const Arguments& words)
{
    auto alert = presentedAlert(runner);
    if (!alert)
        throw ScenarioFailure(fmt::format("expected the alert \"{}\" to be presented; no alert is", words[0]));
    std::string title = alert->value("title", std::string());
    if (title != words[0])
        throw ScenarioFailure(fmt::format("expected the alert \"{}\" to be presented; the alert presented is \"{}\"", words[0], title));
    if (words.size() == 2 && buttonsOf(*alert) != words[1])
        throw ScenarioFailure(fmt::format("expected the alert \"{}\" to have the buttons {}; it has {}", title, words[1], buttonsOf(*alert)));
}

} // namespace

std::vector<ScenarioCommand> lockScreenCommands()
{
    return {
        { "lock", "lock", "press the side button: SpringBoard locks (lockUIFromSource:withOptions:) and the lock screen shows again", 0, 0,
            true,
            [](ScenarioRunner& runner, const Arguments&) {
                runner.requireBooted("lock");
                runner.askSpringBoard(Json { { "command", "lock" } });
            },
            {} },
        { "tap", "tap WHAT [ARG]",
            "tap lockscreen [N] (N taps on the lock screen, default 1), tap account NAME (an account of the panel), tap "
            "settings|dismiss|respring|logout|hide (a button of the panel); only what a finger reaches (not hidden, not transparent)",
            1, 2, true, runTap, checkTap },
        { "alert", "alert | alert tap TITLE", "print the presented alert (title, message, buttons), or tap its button TITLE", 0, 2, false,
            runAlert, checkAlert, [](const Arguments& words) { return !words.empty(); } },
    };
}

std::vector<ExpectationDefinition> lockScreenExpectations()
{
    return {
        { { "alert", "expect alert TITLE [BUTTONS]", "an alert titled TITLE is presented now (BUTTONS: its button titles in order, \"YES|NO\")" },
            1, 2, std::string::npos, expectAlert, {} },
        { { "no-alert", "expect no-alert", "no alert is presented now" }, 0, 0, std::string::npos,
            [](ScenarioRunner& runner, const Arguments&) {
                if (auto alert = presentedAlert(runner))
                    throw ScenarioFailure(fmt::format("expected no alert; the alert \"{}\" is presented", alert->value("title", std::string())));
            },
            {} },
    };
}
