#include "FeatureToggles.h"

#include "KavlorctlError.h"

#include <algorithm>
#include <fmt/format.h>

namespace FeatureToggles {

std::optional<std::string> indexForName(std::string_view name)
{
    for (const auto& toggle : kAll) {
        if (name == toggle.name)
            return toggle.index;
    }
    return std::nullopt;
}

std::optional<std::string> nameForIndex(std::string_view index)
{
    for (const auto& toggle : kAll) {
        if (index == toggle.index)
            return toggle.name;
    }
    return std::nullopt;
}

std::string allNames()
{
    std::string names;
    for (const auto& toggle : kAll)
        names += (names.empty() ? "" : ", ") + std::string(toggle.name);
    return names;
}

static std::vector<std::string_view> splitOnCommas(std::string_view text)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos)
            return parts;
        start = comma + 1;
    }
}

std::vector<std::string> parseBlockList(const std::vector<std::string>& arguments)
{
    std::vector<std::string> indices;
    for (const auto& argument : arguments) {
        for (auto name : splitOnCommas(argument)) {
            auto index = indexForName(name);
            if (!index)
                throw KavlorctlError(fmt::format("unknown block name '{}' (known: {})", name, allNames()));
            if (std::find(indices.begin(), indices.end(), *index) == indices.end())
                indices.push_back(*index);
        }
    }
    std::sort(indices.begin(), indices.end());
    return indices;
}

} // namespace FeatureToggles
