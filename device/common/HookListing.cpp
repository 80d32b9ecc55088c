#include "HookListing.h"

#include "Runtime.h"

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
