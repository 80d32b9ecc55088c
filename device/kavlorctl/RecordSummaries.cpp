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

std::optional<Kept> current(const std::string& userDataPath)
{
    auto identity = FileIdentity::ofPath(userDataPath);
    if (!identity)
        return std::nullopt;
    auto kept = PropertyList::readDictionaryFile(summaryPath(userDataPath));
    auto records = kept ? kept->valueForKey<NSDictionary>("Records") : nullptr;
    if (!records || FileIdentity::fromPropertyList(kept->objectForKey("Source")) != *identity)
        return std::nullopt;
    return Kept { *identity, records->mutableCopy() };
}

Id<NSDictionary> load(const std::string& userDataPath, const std::string& description)
{
    if (auto kept = current(userDataPath))
        return kept->records;
    PlistDocument userData = PlistDocument::load(userDataPath, description);
    keep(userData);
    return summaryOf(userData.root());
}

static void write(const std::string& userDataPath, const FileIdentity& source, const Id<NSDictionary>& records)
{
    auto kept = NSDictionary::dictionary({
        { "Source", source.asPropertyList() },
        { "Records", records },
    });
    // A summary that cannot be written is only a slower next listing.
    PropertyList::writeFile(summaryPath(userDataPath), kept, PropertyList::Format::Binary);
}

void keep(const PlistDocument& userData)
{
    if (userData.identity())
        write(userData.path(), *userData.identity(), summaryOf(userData.root()));
}

void keepWithRecord(const std::string& userDataPath, const FileIdentity& written, const Kept& kept,
    const std::string& name, const Id<NSDictionary>& record)
{
    auto records = kept.records->mutableCopy();
    records->setObject(withoutData(record), name);
    write(userDataPath, written, records);
}

} // namespace RecordSummaries
