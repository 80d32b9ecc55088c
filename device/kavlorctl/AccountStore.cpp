#include "AccountStore.h"

#include "AccountFilesLock.h"
#include "KavlorSchema.h"
#include "FeatureToggles.h"
#include "KavlorctlError.h"
#include "PlistDocument.h"
#include "RecordSummaries.h"
#include "UserDataAppender.h"
#include "DeviceRoot.h"

#include <algorithm>
#include <cctype>
#include <fmt/format.h>

namespace {

const char* const kUserDataDescription = "user-data file";
const char* const kAppListDescription = "app-list file";

PlistDocument loadUserData()
{
    return PlistDocument::load(KavlorSchema::kUserDataPath, kUserDataDescription);
}

PlistDocument loadAppList()
{
    return PlistDocument::load(KavlorSchema::kAppListPath, kAppListDescription);
}

void requireUser(const PlistDocument& userData, const std::string& name)
{
    if (!userData.root()->objectForKey(name))
        throw KavlorctlError(fmt::format("no user named '{}' in {}", name, userData.hostPath()));
}

// The same, from the records' summary (no pictures parsed).
void requireUser(const std::string& name)
{
    if (!RecordSummaries::load(KavlorSchema::kUserDataPath, kUserDataDescription)->objectForKey(name))
        throw KavlorctlError(fmt::format("no user named '{}' in {}", name, devicePath(KavlorSchema::kUserDataPath)));
}

// The account's app-list entry as a mutable copy (a new one when absent); refuses an
// entry it would have to throw away to write its own.
Id<NSDictionary> appListEntry(const PlistDocument& appList, const std::string& name)
{
    id entry = appList.root()->objectForKey(name);
    if (!entry)
        return NSDictionary::mutableDictionary();
    auto dictionary = entry.as<NSDictionary>();
    if (!dictionary)
        throw KavlorctlError(fmt::format("the entry for '{}' in {} is not a dictionary; nothing was changed", name, appList.hostPath()));
    id disabled = dictionary->objectForKey(KavlorSchema::kDisabledKey);
    if (disabled && !disabled.as<NSArray>())
        throw KavlorctlError(fmt::format("\"Disabled\" of '{}' in {} is not an array; nothing was changed", name, appList.hostPath()));
    return dictionary->mutableCopy();
}

std::vector<id> disabledItems(const Id<NSDictionary>& entry)
{
    auto disabled = entry->valueForKey<NSArray>(KavlorSchema::kDisabledKey);
    return disabled ? disabled->items() : std::vector<id>{};
}

std::vector<std::string> bundleIdStrings(const std::vector<id>& items)
{
    std::vector<std::string> ids;
    for (const auto& item : items) {
        if (auto text = item.as<NSString>())
            ids.push_back(text->utf8());
    }
    return ids;
}

bool listsBundleId(const std::vector<id>& items, const std::string& bundleId)
{
    return std::any_of(items.begin(), items.end(), [&](const id& item) {
        auto text = item.as<NSString>();
        return text && text->isEqualToString(bundleId);
    });
}

// Loads the app list, applies `change` to the account's "Disabled" items, writes the file
// when they changed, and answers the bundle ids listed afterwards.
template<class Change>
DisabledApps changeDisabledApps(const std::string& name, const std::vector<std::string>& bundleIds, Change change)
{
    AccountStore::checkBundleIds(bundleIds);
    AccountFilesLock lock;
    requireUser(name);
    PlistDocument appList = loadAppList();
    Id<NSDictionary> entry = appListEntry(appList, name);
    std::vector<id> before = disabledItems(entry);
    std::vector<id> after = change(before);
    // Both changes only ever add or only ever remove, so the count tells whether they did.
    bool changed = after.size() != before.size();
    if (changed) {
        entry->setObject(NSArray::array(after), KavlorSchema::kDisabledKey);
        appList.root()->setObject(entry, name);
        appList.save();
    }
    return { bundleIdStrings(after), changed };
}

AccountSummary summarise(const Id<NSString>& key, const id& value, const PlistDocument& appList)
{
    AccountSummary summary;
    summary.key = key->utf8();
    if (auto appEntry = appList.root()->valueForKey<NSDictionary>(summary.key))
        summary.disabledApps = bundleIdStrings(disabledItems(appEntry));
    auto record = value.as<NSDictionary>();
    if (!record)
        return summary;
    summary.isRecord = true;
    auto passcode = record->valueForKey<NSString>(KavlorSchema::RecordKey::passCode);
    summary.hasPasscode = passcode && passcode->length() > 0;
    if (auto toggles = record->valueForKey<NSDictionary>(KavlorSchema::RecordKey::toggleData)) {
        for (const auto& toggle : FeatureToggles::kAll) {
            auto on = toggles->valueForKey<NSNumber>(toggle.index);
            if (!on || !on->boolValue())
                continue;
            if (toggle.index == FeatureToggles::kTimeLimitIndex)
                summary.countdownOn = true;
            else
                summary.blocked.push_back(toggle.name);
        }
    }
    if (auto limit = record->valueForKey<NSNumber>(KavlorSchema::RecordKey::limitedTime))
        summary.limitedTime = limit->integerValue();
    return summary;
}

} // namespace

void AccountStore::checkBundleIds(const std::vector<std::string>& bundleIds)
{
    if (bundleIds.empty())
        throw KavlorctlError("no bundle identifier given");
    for (const auto& bundleId : bundleIds) {
        bool wellFormed = !bundleId.empty() && std::all_of(bundleId.begin(), bundleId.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
        });
        if (!wellFormed)
            throw KavlorctlError(fmt::format("'{}' is not a bundle identifier (letters, digits, '.', '-', '_')", bundleId));
    }
}

static void refuseExistingUser(const std::string& name)
{
    throw KavlorctlError(fmt::format("a user named '{}' already exists in {}; use --replace to overwrite it", name,
        devicePath(KavlorSchema::kUserDataPath)));
}

bool AccountStore::addUser(const Id<NSDictionary>& record, bool replace) const
{
    std::string name = record->valueForKey<NSString>(KavlorSchema::RecordKey::userName)->utf8();
    AccountFilesLock lock;
    // The file kavlorctl last wrote or read whole: its names are known without parsing it,
    // and the record goes in without the others being read or written again.
    if (auto kept = RecordSummaries::current(KavlorSchema::kUserDataPath)) {
        bool exists = static_cast<bool>(kept->records->objectForKey(name));
        if (exists && !replace)
            refuseExistingUser(name);
        if (auto written = UserDataAppender::put(KavlorSchema::kUserDataPath, kUserDataDescription, kept->source, name, record, exists)) {
            RecordSummaries::keepWithRecord(KavlorSchema::kUserDataPath, *written, *kept, name, record);
            return exists;
        }
    }
    PlistDocument userData = loadUserData();
    bool exists = static_cast<bool>(userData.root()->objectForKey(name));
    if (exists && !replace)
        refuseExistingUser(name);
    userData.root()->setObject(record, name);
    userData.save();
    RecordSummaries::keep(userData);
    return exists;
}

void AccountStore::removeUser(const std::string& name) const
{
    AccountFilesLock lock;
    PlistDocument userData = loadUserData();
    requireUser(userData, name);
    PlistDocument appList = loadAppList();
    // The record goes first: should the second write fail, what remains is an app list
    // for an account that no longer exists, which nothing reads, rather than an account
    // that has lost its restrictions.
    userData.root()->removeObjectForKey(name);
    userData.save();
    RecordSummaries::keep(userData);
    if (appList.root()->objectForKey(name)) {
        appList.root()->removeObjectForKey(name);
        appList.save();
    }
}

DisabledApps AccountStore::disableApps(const std::string& name, const std::vector<std::string>& bundleIds) const
{
    return changeDisabledApps(name, bundleIds, [&](std::vector<id> items) {
        for (const auto& bundleId : bundleIds) {
            if (!listsBundleId(items, bundleId))
                items.push_back(NSString::string(bundleId));
        }
        return items;
    });
}

DisabledApps AccountStore::enableApps(const std::string& name, const std::vector<std::string>& bundleIds) const
{
    return changeDisabledApps(name, bundleIds, [&](std::vector<id> items) {
        std::erase_if(items, [&](const id& item) {
            auto text = item.as<NSString>();
            return text && std::find(bundleIds.begin(), bundleIds.end(), text->utf8()) != bundleIds.end();
        });
        return items;
    });
}

std::vector<AccountSummary> AccountStore::accounts() const
{
    auto records = RecordSummaries::load(KavlorSchema::kUserDataPath, kUserDataDescription);
    PlistDocument appList = loadAppList();
    std::vector<AccountSummary> summaries;
    for (const auto& [key, value] : records->entries())
        summaries.push_back(summarise(key, value, appList));
    return summaries;
}
