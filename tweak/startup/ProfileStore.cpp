#include "ProfileStore.h"

#include "DictionaryFileEntry.h"
#include "HBPreferences.h"
#include "PropertyList.h"
#include "SystemLog.h"

using namespace KavlorSchema;

Id<HBPreferences> mainSettings;
bool toggleKavlor;
bool hideLSAccount;
id adminPasscode;
bool showImportantAlert;

id activeUser;
Id<NSDictionary> crntUserData;
Id<NSArray> disabledApps;
bool isKavlorActive;
Id<NSDictionary> timeLimitTable;
Id<NSDictionary> dictState;
Id<NSDictionary> mutableDictState;

bool isExactlyOwner(const id& user)
{
    auto name = user.as<NSString>();
    return name && name->isEqualToString(kOwnerName);
}

bool isOwnerOrUnset(const id& user)
{
    auto name = user.as<NSString>();
    return !name || name->length() == 0 || name->isEqualToString(kOwnerName);
}

id readActiveUser()
{
    return mainSettings ? id(mainSettings->objectForKey(Key::activeUser).as<NSString>()) : nil;
}

Id<NSDictionary> fetchCrntUserData()
{
    // Parsed again only when the file changed; the record is kept beside the file for the
    // next start of SpringBoard.
    static DictionaryFileEntry userData(kUserDataPath);
    activeUser = readActiveUser();
    id entry = userData.value(activeUser);
    NSLog("xxxxxxxx activeUser data:-%@", entry);
    return entry.as<NSDictionary>();
}

Id<NSArray> fetchDisabledApps()
{
    auto lists = PropertyList::readDictionaryFileCached(kAppListPath);
    auto entry = lists ? lists->objectForKey(activeUser).as<NSDictionary>() : nullptr;
    return entry ? entry->valueForKey<NSArray>(kDisabledKey) : nullptr;
}

bool recordToggle(const Id<NSDictionary>& record, const char* index)
{
    auto toggles = record ? record->valueForKey<NSDictionary>(RecordKey::toggleData) : nullptr;
    auto value = toggles ? toggles->valueForKey<NSNumber>(index) : nullptr;
    return value && value->boolValue();
}

Id<NSString> recordString(const Id<NSDictionary>& record, const char* key)
{
    return record ? record->valueForKey<NSString>(key) : nullptr;
}

Id<NSData> recordData(const Id<NSDictionary>& record, const char* key)
{
    return record ? record->valueForKey<NSData>(key) : nullptr;
}

Id<NSNumber> recordTimeLimitMinutes(const Id<NSDictionary>& record)
{
    auto limit = record ? record->valueForKey<NSNumber>(RecordKey::limitedTime) : nullptr;
    if (!limit || !timeLimitTable)
        return nullptr;
    return timeLimitTable->valueForKey<NSNumber>(limit->stringValue());
}

bool listContains(const Id<NSArray>& list, const id& bundleIdentifier)
{
    return list && list->containsObject(bundleIdentifier);
}

void secondInitialiser()
{
    auto table = NSDictionary::mutableDictionary();
    for (size_t index = 0; index < kTimeLimitMinutes.size(); ++index)
        table->setObject(NSNumber::numberWithInteger(kTimeLimitMinutes[index]), std::to_string(index));
    timeLimitTable = table;
    dictState = NSDictionary::dictionaryWithContentsOfFile(kIconStatePath);
    mutableDictState = dictState ? dictState->mutableCopy() : NSDictionary::mutableDictionary();
}
