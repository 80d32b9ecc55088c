#pragma once
// The text of `user list`: one row per account, in the user-data file's order, with
// columns NAME, PASSCODE, BLOCKED, TIME LIMIT and DISABLED APPS, padded to line up.

#include "AccountStore.h"

#include <string>
#include <vector>

namespace UserTable {

std::string render(const std::vector<AccountSummary>& accounts);

// The TIME LIMIT cell: "45 min" when the countdown is on, "off" or "off (45 min)" when it
// is not, and what the library would do with a missing or unknown "LimitedTime".
std::string timeLimitCell(const AccountSummary& account);

} // namespace UserTable
