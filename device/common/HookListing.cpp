#include "HookListing.h"

#include "Runtime.h"

#include <algorithm>
#include <filesystem>

namespace HookListing {

std::vector<Row> installedRows()
{
    std::vector<Row> rows;
    for (const auto& method : runtime_installedMethods()) {
        std::string library = method.imagePath.empty() ? "(unknown)" : std::filesystem::path(method.imagePath).filename().string();
        rows.push_back({ method.className, method.selector, method.kind == InstalledKind::Replaced ? "replaced" : "added", library });
    }
    return rows;
}

std::vector<std::string> groups(const std::vector<Row>& rows)
{
    // One method of each group that every system has: its presence tells the group.
    struct Marker {
        const char* group;
        const char* className;
        const char* selector;
    };
    static const Marker markers[] {
        { "panel", "", "userAccountView" },
        { "base", "SpringBoard", "applicationDidFinishLaunching:" },
        { "switching", "SBHomeScreenViewController", "viewDidAppear:" },
        { "guest", "UIStatusBarWindow", "timerFired" },
    };
    std::vector<std::string> found;
    for (const auto& marker : markers) {
        bool present = std::any_of(rows.begin(), rows.end(), [&](const Row& row) {
            return row.selector == marker.selector && (!*marker.className || row.className == marker.className);
        });
        if (present)
            found.push_back(marker.group);
    }
    return found;
}

std::string joinedGroups(const std::vector<Row>& rows)
{
    std::string joined;
    for (const auto& group : groups(rows))
        joined += (joined.empty() ? "" : ",") + group;
    return joined;
}

std::string format(const Row& row)
{
    return row.className + "\t" + row.selector + "\t" + row.kind + "\t" + row.library;
}

nlohmann::ordered_json toJson(const std::vector<Row>& rows)
{
    auto array = nlohmann::ordered_json::array();
    for (const auto& row : rows)
        array.push_back({ { "class", row.className }, { "selector", row.selector }, { "kind", row.kind }, { "library", row.library } });
    return array;
}

std::vector<Row> fromJson(const nlohmann::ordered_json& rows)
{
    std::vector<Row> result;
    if (!rows.is_array())
        return result;
    for (const auto& row : rows) {
        result.push_back({ row.value("class", std::string()), row.value("selector", std::string()), row.value("kind", std::string()),
            row.value("library", std::string()) });
    }
    return result;
}

} // namespace HookListing
