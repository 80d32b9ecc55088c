#pragma once
// The guest time limits: "LimitedTime" 0..6 chooses one of these lengths in minutes, the
// same table the library counts down from.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace TimeLimits {

inline constexpr std::array<int, 7> kMinutes { 5, 10, 30, 45, 60, 120, 180 };

// The minutes for a "LimitedTime" value; nothing outside 0..6.
inline std::optional<int> minutesFor(long long limit)
{
    if (limit < 0 || limit >= static_cast<long long>(kMinutes.size()))
        return std::nullopt;
    return kMinutes[static_cast<size_t>(limit)];
}

// "0:5 1:10 2:30 ..." for help texts and error messages.
std::string describeTable();

// A command-line time limit ("0".."6") as its number. Throws KavlorctlError naming the
// text for anything else.
int parse(std::string_view text);

} // namespace TimeLimits
