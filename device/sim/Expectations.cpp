#include "Expectations.h"

#include "DeviceRoot.h"
#include "GuestVisitCommands.h"
#include "HookListing.h"
#include "LockScreenCommands.h"
#include "PanelListing.h"
#include "ScenarioRunner.h"
#include "SettingValues.h"
#include "TraceFollower.h"

#include <fmt/format.h>

#include <cmath>
#include <filesystem>
#include <functional>

namespace {

using Json = ScenarioRunner::Json;
using Arguments = std::vector<std::string>;

// --- event filters -----------------------------------------------------------------------

struct FieldFilter {
    enum class Op { Equal, NotEqual, Contains };
    std::string key;
    Op op = Op::Equal;
    std::string value;

    std::string text() const
    {
        return key + (op == Op::Equal ? "=" : op == Op::NotEqual ? "!=" : "~") + value;
    }
};

FieldFilter parseFilter(const std::string& word)
{
    size_t notEqual = word.find("!=");
    size_t equal = word.find('=');
    size_t tilde = word.find('~');
    FieldFilter filter;
    size_t at;
    if (notEqual != std::string::npos && notEqual <= std::min(equal, tilde)) {
        filter.op = FieldFilter::Op::NotEqual;
        at = notEqual;
        filter.value = word.substr(at + 2);
    } else if (equal != std::string::npos && equal < tilde) {
        filter.op = FieldFilter::Op::Equal;
        at = equal;
        filter.value = word.substr(at + 1);
    } else if (tilde != std::string::npos) {
        filter.op = FieldFilter::Op::Contains;
        at = tilde;
        filter.value = word.substr(at + 1);
    } else {
        throw ScenarioFailure(fmt::format("\"{}\" is not a filter (KEY=VALUE, KEY!=VALUE or KEY~TEXT)", word));
    }
    filter.key = word.substr(0, at);
    if (filter.key.empty())
        throw ScenarioFailure(fmt::format("\"{}\" names no field", word));
    return filter;
}

std::vector<FieldFilter> parseFilters(const Arguments& words, size_t from)
{
    std::vector<FieldFilter> filters;
    for (size_t i = from; i < words.size(); ++i)
        filters.push_back(parseFilter(words[i]));
    return filters;
}

// A field as a script writes it: strings as they are, whole numbers without a fraction.
std::string fieldText(const Json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_number_float()) {
        double number = value.get<double>();
        if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 1e15)
            return fmt::format("{}", static_cast<long long>(number));
    }
    return value.dump();
}

std::string substitute(ScenarioRunner& runner, const std::string& value)
{
    if (value == "$pid")
        return std::to_string(runner.springBoardPid());
    if (value == "$previous-pid")
        return std::to_string(runner.springBoardPidBeforeLastAction());
    return value;
}

bool matches(ScenarioRunner& runner, const Json& event, const std::string& name, const std::vector<FieldFilter>& filters)
{
    if (event.value("event", std::string()) != name)
        return false;
    for (const auto& filter : filters) {
        std::string wanted = substitute(runner, filter.value);
        bool present = event.contains(filter.key);
        std::string actual = present ? fieldText(event[filter.key]) : std::string();
        bool ok = filter.op == FieldFilter::Op::Equal ? present && actual == wanted
            : filter.op == FieldFilter::Op::NotEqual  ? !present || actual != wanted
                                                      : present && actual.find(wanted) != std::string::npos;
        if (!ok)
            return false;
    }
    return true;
}

std::string describeWanted(ScenarioRunner& runner, const std::string& name, const std::vector<FieldFilter>& filters)
{
    std::string text = "\"" + name + "\"";
    for (const auto& filter : filters) {
        FieldFilter shown = filter;
        shown.value = substitute(runner, filter.value);
        text += " " + shown.text();
    }
    return text;
}

std::string sinceWhat(ScenarioRunner& runner)
{
    const ScenarioLine* action = runner.lastAction();
    return action ? fmt::format("since line {} ({})", action->number, action->text) : "since the run began";
}

// The events a person needs to see what happened instead: those of the same name first,
// then the rest, at most `limit`.
std::string showEvents(const std::vector<Json>& events, const std::string& name, size_t limit = 12)
{
    if (events.empty())
        return "  (no events)";
    std::vector<const Json*> chosen;
    for (const auto& event : events) {
        if (event.value("event", std::string()) == name)
            chosen.push_back(&event);
    }
    std::string heading = chosen.empty() ? "events seen" : fmt::format("\"{}\" events seen", name);
    if (chosen.empty()) {
        for (const auto& event : events)
            chosen.push_back(&event);
    }
    std::string text = fmt::format("  {} ({}):", heading, chosen.size());
    size_t first = chosen.size() > limit ? chosen.size() - limit : 0;
    if (first)
        text += fmt::format("\n    ... {} earlier", first);
    for (size_t i = first; i < chosen.size(); ++i)
        text += "\n    " + prettyTraceEvent(*chosen[i]);
    return text;
}

size_t countMatches(ScenarioRunner& runner, const std::vector<Json>& events, const std::string& name, const std::vector<FieldFilter>& filters)
{
    size_t count = 0;
    for (const auto& event : events)
        count += matches(runner, event, name, filters) ? 1 : 0;
    return count;
}

long long parseCount(const std::string& text)
{
    try {
        size_t used = 0;
        long long count = std::stoll(text, &used);
        if (used == text.size() && count >= 0)
            return count;
    } catch (...) {
    }
    throw ScenarioFailure(fmt::format("\"{}\" is not a count (0 or more)", text));
}

// A file expectation names a device path: absolute, and never above the device's "/",
// which would look at the machine's own files.
void checkDevicePath(const std::string& path)
{
    if (path.empty() || path.front() != '/')
        throw ScenarioFailure(fmt::format("\"{}\" is not a device path (one starts with /)", path));
    if (climbsAboveDeviceRoot(path))
        throw ScenarioFailure(fmt::format("\"{}\" climbs above the device's / with \"..\"", path));
}

std::vector<HookListing::Row> currentHooks(ScenarioRunner& runner)
{
    runner.requireBooted("expect hook");
    auto reply = runner.askSpringBoard(Json { { "command", "hooks" } });
    if (!reply)
        throw ScenarioFailure("SpringBoard restarted before it listed its methods");
    return HookListing::fromJson(reply->value("hooks", Json::array()));
}

std::string showHooks(const std::vector<HookListing::Row>& rows, const std::string& className)
{
    std::string text;
    size_t shown = 0;
    for (const auto& row : rows) {
        if (row.className == className) {
            text += "\n    " + HookListing::format(row);
            ++shown;
        }
    }
    return shown ? fmt::format("  installed on {}:{}", className, text) : fmt::format("  nothing installed on {} ({} methods in all)", className, rows.size());
}

Json currentPanel(ScenarioRunner& runner)
{
    runner.requireBooted("expect panel");
    auto reply = runner.askSpringBoard(Json { { "command", "panel" } });
    if (!reply)
        throw ScenarioFailure("SpringBoard restarted before it showed the panel");
    return reply->value("views", Json::array());
}

std::string panelNames(const Json& views)
{
    std::string names;
    for (const auto& entry : views) {
        if (entry.contains("name"))
            names += (names.empty() ? "" : ", ") + entry["name"].get<std::string>();
    }
    return names;
}

void checkPanelFilters(const Arguments& words)
{
    for (size_t i = 1; i < words.size(); ++i) {
        if (words[i].find('=') == std::string::npos || words[i].front() == '=')
            throw ScenarioFailure(fmt::format("\"{}\" is not FIELD=VALUE (fields: {})", words[i], PanelListing::fieldNames()));
    }
}

std::string trimmedLine(const Json& entry)
{
    std::string line = PanelListing::formatLine(entry);
    return line.substr(std::min(line.find_first_not_of(' '), line.size()));
}

void expectPanelView(ScenarioRunner& runner, const Arguments& words)
{
    Json views = currentPanel(runner);
    const Json* entry = PanelListing::findNamed(views, words[0]);
    if (!entry)
        throw ScenarioFailure(fmt::format("expected a panel view named {}; the panel has: {}", words[0], panelNames(views)));
    for (size_t i = 1; i < words.size(); ++i) {
        size_t at = words[i].find('=');
        std::string key = words[i].substr(0, at);
        std::string wanted = words[i].substr(at + 1);
        auto actual = PanelListing::field(*entry, key);
        if (!actual || *actual != wanted)
            throw ScenarioFailure(fmt::format("expected {} of the panel's {} to be {}; it is {}\n  {}", key, words[0], wanted,
                actual ? *actual : std::string("not shown for this view"), trimmedLine(*entry)));
    }
}

// --- the forms ---------------------------------------------------------------------------

using Form = ExpectationDefinition;

void expectEvent(ScenarioRunner& runner, const Arguments& words, bool wanted)
{
    auto filters = parseFilters(words, 1);
    auto events = runner.eventsSinceLastAction();
    size_t found = countMatches(runner, events, words[0], filters);
    if (wanted && found == 0)
        throw ScenarioFailure(fmt::format("expected an event {} {}; there was none\n{}", describeWanted(runner, words[0], filters),
            sinceWhat(runner), showEvents(events, words[0])));
    if (!wanted && found > 0)
        throw ScenarioFailure(fmt::format("expected no event {} {}; there were {}\n{}", describeWanted(runner, words[0], filters),
            sinceWhat(runner), found, showEvents(events, words[0])));
}

const std::vector<Form>& coreForms()
{
    static std::vector<Form> table = {
        { { "event", "expect event NAME [FILTER...]", "an event NAME matching the filters happened since the last action began" },
            1, -1, 1, [](ScenarioRunner& runner, const Arguments& words) { expectEvent(runner, words, true); }, {} },
        { { "no-event", "expect no-event NAME [FILTER...]", "no such event happened since the last action began" },
            1, -1, 1, [](ScenarioRunner& runner, const Arguments& words) { expectEvent(runner, words, false); }, {} },
        { { "count", "expect count NAME N [FILTER...]", "exactly N such events happened since the run began" },
            2, -1, 2,
            [](ScenarioRunner& runner, const Arguments& words) {
                auto filters = parseFilters(words, 2);
                const auto& events = runner.events();
                size_t found = countMatches(runner, events, words[0], filters);
                long long wanted = parseCount(words[1]);
                if (static_cast<long long>(found) != wanted)
                    throw ScenarioFailure(fmt::format("expected {} event(s) {} since the run began; there were {}\n{}", wanted,
                        describeWanted(runner, words[0], filters), found, showEvents(events, words[0])));
            },
            [](const Arguments& words) { parseCount(words[1]); } },
        { { "log", "expect log TEXT", "SpringBoard or a tool logged exactly TEXT since the last action began" },
            1, 1, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) {
                auto events = runner.eventsSinceLastAction();
                for (const auto& event : events) {
                    if (event.value("event", std::string()) == "log" && event.value("text", std::string()) == words[0])
                        return;
                }
                throw ScenarioFailure(fmt::format("expected the log line \"{}\" {}; it was not logged\n{}", words[0], sinceWhat(runner),
                    showEvents(events, "log")));
            },
            {} },
        { { "new-springboard", "expect new-springboard", "a new SpringBoard (another pid) started since the last action began and is running" },
            0, 0, std::string::npos,
            [](ScenarioRunner& runner, const Arguments&) {
                runner.requireBooted("expect new-springboard");
                pid_t before = runner.springBoardPidBeforeLastAction();
                pid_t now = runner.springBoardPid();
                auto events = runner.eventsSinceLastAction();
                bool started = false;
                for (const auto& event : events)
                    started = started || (event.value("event", std::string()) == "springboard-start" && event.value("pid", 0) == now);
                if (now == before || !started)
                    throw ScenarioFailure(fmt::format("expected a new SpringBoard {}; SpringBoard was pid {} before and is pid {} now{}\n{}",
                        sinceWhat(runner), before, now, started ? "" : " (no springboard-start of it)", showEvents(events, "springboard-start")));
            },
            {} },
        { { "same-springboard", "expect same-springboard", "SpringBoard was not restarted by the last action" },
            0, 0, std::string::npos,
            [](ScenarioRunner& runner, const Arguments&) {
                runner.requireBooted("expect same-springboard");
                pid_t before = runner.springBoardPidBeforeLastAction();
                pid_t now = runner.springBoardPid();
                if (before != now)
                    throw ScenarioFailure(fmt::format("expected SpringBoard to keep running {}; it was pid {} and is pid {} now\n{}",
                        sinceWhat(runner), before, now, showEvents(runner.eventsSinceLastAction(), "springboard-start")));
            },
            {} },
        { { "setting", "expect setting KEY VALUE|absent", "the settings domain holds VALUE under KEY (YES/NO, a number, a text), or no KEY" },
            2, 2, std::string::npos,
            [](ScenarioRunner&, const Arguments& words) {
                id value = readKavlorSetting(words[0]);
                bool ok = words[1] == "absent" ? !value : settingMatches(value, words[1]);
                if (!ok)
                    throw ScenarioFailure(fmt::format("expected the setting {} to be {}; it is {}", words[0], words[1],
                        value ? renderSettingForPerson(value) : std::string("absent")));
            },
            {} },
        { { "hook", "expect hook CLASS SELECTOR [replaced|added]", "the running SpringBoard has that method replaced (or added)" },
            2, 3, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) {
                auto rows = currentHooks(runner);
                for (const auto& row : rows) {
                    if (row.className == words[0] && row.selector == words[1] && (words.size() < 3 || row.kind == words[2]))
                        return;
                }
                throw ScenarioFailure(fmt::format("expected {} {}{} to be installed; it is not\n{}", words[0], words[1],
                    words.size() > 2 ? " (" + words[2] + ")" : "", showHooks(rows, words[0])));
            },
            [](const Arguments& words) {
                if (words.size() > 2 && words[2] != "replaced" && words[2] != "added")
                    throw ScenarioFailure(fmt::format("\"{}\": the kind is replaced or added", words[2]));
            } },
        { { "no-hook", "expect no-hook CLASS SELECTOR", "the running SpringBoard has no replacement or addition of that method" },
            2, 2, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) {
                auto rows = currentHooks(runner);
                for (const auto& row : rows) {
                    if (row.className == words[0] && row.selector == words[1])
                        throw ScenarioFailure(fmt::format("expected {} {} not to be installed; it is ({}, from {})", words[0], words[1], row.kind, row.library));
                }
            },
            {} },
        { { "hooks", "expect hooks N", "the running SpringBoard has exactly N replaced and added methods" },
            1, 1, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) {
                auto rows = currentHooks(runner);
                long long wanted = parseCount(words[0]);
                if (static_cast<long long>(rows.size()) != wanted) {
                    std::string listing;
                    for (const auto& row : rows)
                        listing += "\n    " + HookListing::format(row);
                    throw ScenarioFailure(fmt::format("expected {} installed methods; there are {}:{}", wanted, rows.size(), listing));
                }
            },
            [](const Arguments& words) { parseCount(words[0]); } },
        { { "running", "expect running", "SpringBoard is running and ready" },
            0, 0, std::string::npos,
            [](ScenarioRunner& runner, const Arguments&) {
                runner.requireBooted("expect running");
                if (!runner.askSpringBoard(Json { { "command", "ping" } }))
                    throw ScenarioFailure("SpringBoard ended while it was asked whether it runs");
            },
            {} },
        { { "panel", "expect panel NAME [FIELD=VALUE...]", "the panel (as `panel` shows it) has a view NAME (panel, respringButton, cell[0].usernameLabel, ...) whose fields read so" },
            1, -1, std::string::npos, expectPanelView, checkPanelFilters },
        { { "panel-cells", "expect panel-cells N", "the panel's account list shows exactly N cells" },
            1, 1, std::string::npos,
            [](ScenarioRunner& runner, const Arguments& words) {
                Json views = currentPanel(runner);
                long long cells = 0;
                for (const auto& entry : views)
                    cells += entry.value("class", std::string()) == "UserAccountCell" ? 1 : 0;
                long long wanted = parseCount(words[0]);
                if (cells != wanted)
                    throw ScenarioFailure(fmt::format("expected {} account cell(s) in the panel; there are {} (named: {})", wanted, cells, panelNames(views)));
            },
            [](const Arguments& words) { parseCount(words[0]); } },
        { { "file", "expect file PATH", "the device has a file at PATH (a device path)" },
            1, 1, std::string::npos,
            [](ScenarioRunner&, const Arguments& words) {
                std::error_code error;
                if (!std::filesystem::exists(devicePath(words[0]), error))
                    throw ScenarioFailure(fmt::format("expected the file {} ({}); there is none", words[0], devicePath(words[0])));
            },
            [](const Arguments& words) { checkDevicePath(words[0]); } },
        { { "no-file", "expect no-file PATH", "the device has no file at PATH" },
            1, 1, std::string::npos,
            [](ScenarioRunner&, const Arguments& words) {
                std::error_code error;
                if (std::filesystem::exists(devicePath(words[0]), error))
                    throw ScenarioFailure(fmt::format("expected no file at {} ({}); there is one", words[0], devicePath(words[0])));
            },
            [](const Arguments& words) { checkDevicePath(words[0]); } },
    };
    // The groups of forms kept beside their commands, added once.
    [[maybe_unused]] static const bool grouped = [] {
        for (auto& form : guestVisitExpectations())
            table.push_back(std::move(form));
        for (auto& form : restrictionExpectationForms())
            table.push_back(std::move(form));
        for (auto& form : lockScreenExpectations())
            table.push_back(std::move(form));
        return true;
    }();
    return table;
}

// The core forms, then each group's.
const std::vector<Form>& forms()
{
    return coreForms();
}

const Form& findForm(const Arguments& arguments)
{
    for (const auto& form : forms()) {
        if (form.reference.name == arguments.at(0)) {
            size_t count = arguments.size() - 1;
            if (count < form.minWords || (form.maxWords >= 0 && count > static_cast<size_t>(form.maxWords)))
                throw ScenarioFailure(fmt::format("wrong number of words: usage: {}", form.reference.usage));
            return form;
        }
    }
    std::string names;
    for (const auto& form : forms())
        names += (names.empty() ? "" : ", ") + form.reference.name;
    throw ScenarioFailure(fmt::format("unknown expectation \"{}\" (one of: {})", arguments.at(0), names));
}

} // namespace

const std::vector<ExpectationForm>& expectationForms()
{
    static const std::vector<ExpectationForm> references = [] {
        std::vector<ExpectationForm> list;
        for (const auto& form : forms())
            list.push_back(form.reference);
        return list;
    }();
    return references;
}

void checkExpectation(const Arguments& arguments)
{
    const Form& form = findForm(arguments);
    Arguments words(arguments.begin() + 1, arguments.end());
    if (form.filtersFrom != std::string::npos)
        parseFilters(words, form.filtersFrom);
    if (form.check)
        form.check(words);
}

void runExpectation(ScenarioRunner& runner, const Arguments& arguments)
{
    checkExpectation(arguments);
    const Form& form = findForm(arguments);
    form.run(runner, Arguments(arguments.begin() + 1, arguments.end()));
    runner.countExpectationMet();
}
