#pragma once
// The six switches of a guest record's "toggleData" (their indices are KavlorSchema's) and
// the names kavlorctl uses for them on the command line.

#include "KavlorSchema.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace FeatureToggles {

struct Toggle {
    const char* index;  // the key inside "toggleData"
    const char* name;   // the command-line name
};

inline constexpr std::array<Toggle, 6> kAll { {
    { KavlorSchema::Toggle::blockControlCenter, "control-center" },
    { KavlorSchema::Toggle::blockNotifications, "notifications" },
    { KavlorSchema::Toggle::blockSearch, "search" },
    { KavlorSchema::Toggle::blockTodayView, "today" },
    { KavlorSchema::Toggle::blockAppDeletion, "app-deletion" },
    { KavlorSchema::Toggle::limitTime, "time-limit" },
} };

inline constexpr std::string_view kTimeLimitIndex = KavlorSchema::Toggle::limitTime;

// The index for a command-line name; nothing for an unknown name.
std::optional<std::string> indexForName(std::string_view name);
// The command-line name for an index; nothing for an unknown index.
std::optional<std::string> nameForIndex(std::string_view index);
// "control-center, notifications, ..." for messages and help.
std::string allNames();

// Splits "a,b" items (each argument may hold several names) into the set of indices they
// name, in index order. Throws KavlorctlError naming the first unknown or empty name.
std::vector<std::string> parseBlockList(const std::vector<std::string>& arguments);

} // namespace FeatureToggles
