#include "GuestVisitCommands.h"

#include <fmt/format.h>

namespace {

using Json = ScenarioRunner::Json;
using Arguments = std::vector<std::string>;

// A question whose answer SpringBoard must give without restarting.
Json ask(ScenarioRunner& runner, const std::string& what, Json request)
{
    runner.requireBooted(what);
    auto reply = runner.askSpringBoard(request);
    if (!reply)
        throw ScenarioFailure(fmt::format("SpringBoard restarted while it was asked for {}", what));
    return *reply;
}

bool isLocked(ScenarioRunner& runner, const std::string& what)
{
    return ask(runner, what, Json { { "command", "lock-state" } }).value("locked", true);
}

std::vector<std::string> switcherLayouts(ScenarioRunner& runner, const std::string& what)
{
    return ask(runner, what, Json { { "command", "switcher" } }).value("layouts", std::vector<std::string>());
}

std::string joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const auto& word : words)
        text += (text.empty() ? "" : ", ") + word;
    return text;
}

struct Countdown {
    bool label = false;
    std::string text;
    double alpha = 0;
    bool timer = false;

    std::string describe() const
    {
        std::string running = timer ? "its timer runs" : "no timer runs";
        if (!label)
            return "no countdown label in the status bar; " + running;
        return fmt::format("text \"{}\", alpha {}, {}", text, alpha, running);
    }
};

Countdown countdown(ScenarioRunner& runner, const std::string& what)
{
    Json reply = ask(runner, what, Json { { "command", "countdown" } });
    Countdown result;
    result.label = reply.value("label", false);
    result.text = reply.value("text", std::string());
    result.alpha = reply.value("alpha", 0.0);
    result.timer = reply.value("timer", false);
    return result;
}

void expectLockState(ScenarioRunner& runner, bool wantLocked)
{
    const char* form = wantLocked ? "expect locked" : "expect unlocked";
    if (isLocked(runner, form) != wantLocked)
        throw ScenarioFailure(fmt::format("expected the device to be {}; it is {}", wantLocked ? "locked" : "unlocked",
            wantLocked ? "unlocked" : "locked"));
}

} // namespace

std::vector<ScenarioCommand> guestVisitCommands()
{
    return {
        { "unlock", "unlock PASSCODE", "type PASSCODE on the lock screen's passcode pad (attemptUnlockWithPasscode:finishUIUnlock:completion:)",
            1, 1, true,
            [](ScenarioRunner& runner, const Arguments& arguments) {
                ask(runner, "unlock", Json { { "command", "unlock" }, { "passcode", arguments[0] } });
            },
            {} },
        { "go-home", "go-home", "press the home button: the apps go back and the home screen appears again",
            0, 0, true, [](ScenarioRunner& runner, const Arguments&) { ask(runner, "go-home", Json { { "command", "go-home" } }); }, {} },
        { "switcher", "switcher", "print the app switcher's cards (each card's app, most recent first)",
            0, 0, false,
            [](ScenarioRunner& runner, const Arguments&) {
                auto layouts = switcherLayouts(runner, "switcher");
                runner.out() << "switcher: " << (layouts.empty() ? std::string("empty") : joined(layouts)) << "\n";
            },
            {} },
        { "countdown", "countdown", "print the status bar's countdown label: its text, its alpha and whether its timer runs",
            0, 0, false,
            [](ScenarioRunner& runner, const Arguments&) { runner.out() << "countdown: " << countdown(runner, "countdown").describe() << "\n"; },
            {} },
    };
}

std::vector<ExpectationDefinition> guestVisitExpectations()
{
    return {
        { { "unlocked", "expect unlocked", "the device is unlocked (the lock screen is gone)" },
            0, 0, std::string::npos, [](ScenarioRunner& runner, const Arguments&) { expectLockState(runner, false); }, {} },
        { { "locked", "expect locked", "the device is locked" },
            0, 0, std::string::npos, [](ScenarioRunner& runner, const Arguments&) { expectLockState(runner, true); }, {} },
        { { "switcher-empty", "expect switcher-empty", "the app switcher shows no card" },
            0, 0, std::string::npos,
            [](ScenarioRunner& runner, const Arguments&) {
                auto layouts = switcherLayouts(runner, "expect switcher-empty");
                if (!layouts.empty())
                    throw ScenarioFailure(fmt::format("expected an empty app switcher; it shows {}", joined(layouts)));
            },
            {} },
        { { "countdown", "expect countdown TEXT", "the status bar's countdown label reads TEXT (\"\" for an empty label)" },
            1, 1, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) {
                Countdown now = countdown(runner, "expect countdown");
                if (!now.label || now.text != words[0])
                    throw ScenarioFailure(fmt::format("expected the countdown to read \"{}\"; {}", words[0], now.describe()));
            },
            {} },
    };
}
