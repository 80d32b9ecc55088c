#pragma once
// The accounts as the preference bundle keeps them: records in the user-data file, each
// under its own UserName, and disabled-app lists in the app-list file, each under the
// account's name as {"Disabled": [bundle ids]}.
//
// Each operation loads the files it needs afresh, checks everything, and only then writes
// (each file atomically). Whatever else the files hold (other accounts, other keys of an
// account's app-list entry, fields of a record this tool does not know) is kept as it is.

#include "NSObjectValues.h"

#include <optional>
#include <string>
#include <vector>

// One account as `user list` shows it.
struct AccountSummary {
    std::string key;                   // the record's key in the user-data file
    bool isRecord = false;             // false when the entry is not a dictionary
    bool hasPasscode = false;
    std::vector<std::string> blocked;  // command-line names of the features blocked ("0".."4")
    bool countdownOn = false;          // toggle "5"
    std::optional<long long> limitedTime;
    std::vector<std::string> disabledApps;
};

// The disabled apps of an account after `apps disable` or `apps enable`.
struct DisabledApps {
    std::vector<std::string> bundleIds;
    bool changed = false;  // whether the app-list file was written
};

class AccountStore {
public:
    // Stores `record` under its UserName. An existing account is refused unless
    // `replace`; its disabled apps are kept either way. Answers whether a record was
    // replaced.
    bool addUser(const Id<NSDictionary>& record, bool replace) const;
    // Removes the record and the account's app-list entry.
    void removeUser(const std::string& name) const;

    // Appends the ids not yet listed, in the order given; answers the list afterwards.
    DisabledApps disableApps(const std::string& name, const std::vector<std::string>& bundleIds) const;
    // Removes the ids; answers the list afterwards. Ids that were not listed are ignored.
    DisabledApps enableApps(const std::string& name, const std::vector<std::string>& bundleIds) const;

    std::vector<AccountSummary> accounts() const;

    // Bundle identifiers: letters, digits, '.', '-' and '_', not empty. Throws
    // KavlorctlError naming the first that is not.
    static void checkBundleIds(const std::vector<std::string>& bundleIds);
};
