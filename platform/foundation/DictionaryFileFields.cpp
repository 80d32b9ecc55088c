#include "DictionaryFileFields.h"

#include "DeviceRoot.h"
#include "KeptEntryFile.h"
#include "PropertyList.h"

DictionaryFileFields::DictionaryFileFields(std::string path, std::vector<std::string> fields)
    : m_path(std::move(path))
    , m_fields(std::move(fields))
{
}

std::string DictionaryFileFields::fieldsKey() const
{
    std::string key = "fields:";
    for (const auto& field : m_fields)
        key += field + "\n";
    return key;
}

Id<NSDictionary> DictionaryFileFields::entries()
{
    std::string hostPath = devicePath(m_path); // the device root may change (tests, simulator)
    auto identity = FileIdentity::ofHostPath(hostPath);
    std::lock_guard lock(m_mutex);
    if (!identity) {
        m_taken.reset();
        return nullptr;
    }
    if (m_taken && m_taken->hostPath == hostPath && m_taken->identity == *identity)
        return m_taken->entries;
    if (auto kept = readKeptFields(*identity))
        m_taken = std::move(kept);
    else
        m_taken = readWholeFile();
    m_taken->hostPath = hostPath;
    return m_taken->entries;
}

std::optional<DictionaryFileFields::Taken> DictionaryFileFields::readKeptFields(const FileIdentity& identity) const
{
    auto kept = KeptEntryFile::read(keptFieldsPath());
    if (!kept || kept->source != identity || kept->key != fieldsKey())
        return std::nullopt;
    auto entries = kept->value.as<NSDictionary>();
    if (!entries)
        return std::nullopt;
    return Taken { {}, identity, entries };
}

DictionaryFileFields::Taken DictionaryFileFields::readWholeFile() const
{
    Taken taken;
    auto root = PropertyList::readFile(m_path, taken.identity).as<NSDictionary>();
    if (!root)
        return taken;
    taken.entries = NSDictionary::dictionary();
    for (const auto& [key, value] : root->entries()) {
        auto entry = value.as<NSDictionary>();
        if (!entry)
            continue;
        auto fields = NSDictionary::dictionary();
        for (const auto& field : m_fields) {
            if (id item = entry->objectForKey(field))
                fields->setObject(item, field);
        }
        taken.entries->setObject(fields, key);
    }
    // A file that went away before it could be read is not kept.
    if (taken.identity != FileIdentity {})
        KeptEntryFile::write(keptFieldsPath(), { taken.identity, fieldsKey(), taken.entries });
    return taken;
}
