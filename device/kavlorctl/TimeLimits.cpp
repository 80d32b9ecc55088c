#include "TimeLimits.h"

#include "KavlorctlError.h"

#include <fmt/format.h>

namespace TimeLimits {

std::string describeTable()
{
    std::string table;
    const auto& minutes = KavlorSchema::kTimeLimitMinutes;
    for (size_t limit = 0; limit < minutes.size(); ++limit)
        table += fmt::format("{}{}:{}", limit ? " " : "", limit, minutes[limit]);
    return table;
}

int parse(std::string_view text)
{
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '6')
        return text[0] - '0';
    throw KavlorctlError(fmt::format("time limit '{}' is not one of 0-6 (minutes {})", text, describeTable()));
}

} // namespace TimeLimits
