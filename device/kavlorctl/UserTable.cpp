#include "UserTable.h"

#include "TimeLimits.h"

#include <algorithm>
#include <array>
#include <fmt/format.h>

namespace UserTable {

namespace {

constexpr size_t kColumns = 5;
using Row = std::array<std::string, kColumns>;

// Columns line up by characters, not bytes, so accented names do not push a row out.
size_t displayWidth(const std::string& text)
{
    return std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
}

std::string joined(const std::vector<std::string>& items, const char* separator)
{
    if (items.empty())
        return "-";
    std::string text;
    for (const auto& item : items)
        text += (text.empty() ? "" : separator) + item;
    return text;
}

Row rowFor(const AccountSummary& account)
{
    if (!account.isRecord)
        return { account.key, "-", "(not a user record)", "-", joined(account.disabledApps, ", ") };
    return {
        account.key,
        account.hasPasscode ? "yes" : "no",
        joined(account.blocked, ","),
        timeLimitCell(account),
        joined(account.disabledApps, ", "),
    };
}

} // namespace

std::string timeLimitCell(const AccountSummary& account)
{
    std::optional<int> minutes = account.limitedTime ? KavlorSchema::timeLimitMinutes(*account.limitedTime) : std::nullopt;
    if (!account.countdownOn)
        return minutes ? fmt::format("off ({} min)", *minutes) : "off";
    if (minutes)
        return fmt::format("{} min", *minutes);
    // The library counts down from 0 minutes when "LimitedTime" names no table entry.
    if (account.limitedTime)
        return fmt::format("0 min (LimitedTime {} unknown)", *account.limitedTime);
    return "0 min (no LimitedTime)";
}

std::string render(const std::vector<AccountSummary>& accounts)
{
    if (accounts.empty())
        return "no users\n";
    std::vector<Row> rows { { "NAME", "PASSCODE", "BLOCKED", "TIME LIMIT", "DISABLED APPS" } };
    for (const auto& account : accounts)
        rows.push_back(rowFor(account));

    std::array<size_t, kColumns> widths {};
    for (const auto& row : rows) {
        for (size_t column = 0; column < kColumns; ++column)
            widths[column] = std::max(widths[column], displayWidth(row[column]));
    }
    std::string text;
    for (const auto& row : rows) {
        std::string line;
        for (size_t column = 0; column < kColumns; ++column) {
            line += row[column];
            if (column + 1 < kColumns)
                line += std::string(widths[column] - displayWidth(row[column]) + 2, ' ');
        }
        text += line + "\n";
    }
    return text;
}

} // namespace UserTable
