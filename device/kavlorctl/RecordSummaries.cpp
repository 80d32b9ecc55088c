#include "RecordSummaries.h"

#include "PropertyList.h"

namespace RecordSummaries {

namespace {

id withoutData(const id& value)
{
    if (value.as<NSData>())
        return nil;
    if (auto dictionary = value.as<NSDictionary>()) {
        auto copy = NSDictionary::dictionary();
        for (const auto& [key, item] : dictionary->entries()) {
            if (id kept = withoutData(item))
                copy->setObject(kept, key);
        }
        return copy;
    }
    if (auto array = value.as<NSArray>()) {
        std::vector<id> items;
        for (const auto& item : *array) {
            if (id kept = withoutData(item))
                items.push_back(kept);
        }
        return NSArray::array(std::move(items));
    }
    return value;
}

// Every account stays, whatever its value; only what is inside records loses its pictures.
Id<NSDictionary> summaryOf(const Id<NSDictionary>& root)
{
    auto records = NSDictionary::dictionary();
    for (const auto& [key, value] : root->entries())
        records->setObject(value.as<NSDictionary>() ? withoutData(value) : value, key);
    return records;
}

} // namespace

std::string summaryPath(const std::string& userDataPath) { return userDataPath + ".summary"; }

Id<NSDictionary> load(const std::string& userDataPath, const std::string& description)
{
    if (auto identity = FileIdentity::ofPath(userDataPath)) {
        auto kept = PropertyList::readDictionaryFile(summaryPath(userDataPath));
        auto records = kept ? kept->valueForKey<NSDictionary>("Records") : nullptr;
        if (records && FileIdentity::fromPropertyList(kept->objectForKey("Source")) == *identity)
            return records;
    }
    PlistDocument userData = PlistDocument::load(userDataPath, description);
    keep(userData);
    return summaryOf(userData.root());
}

void keep(const PlistDocument& userData)
{
    if (!userData.identity())
        return;
    auto kept = NSDictionary::dictionary({
        { "Source", userData.identity()->asPropertyList() },
        { "Records", summaryOf(userData.root()) },
    });
    // A summary that cannot be written is only a slower next listing.
    PropertyList::writeFile(summaryPath(userData.path()), kept, PropertyList::Format::Binary);
}

} // namespace RecordSummaries
