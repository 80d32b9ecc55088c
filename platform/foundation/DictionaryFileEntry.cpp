#include "DictionaryFileEntry.h"

#include "DeviceRoot.h"
#include "KeptEntryFile.h"
#include "PropertyList.h"

DictionaryFileEntry::DictionaryFileEntry(std::string path) : m_path(std::move(path)) { }

id DictionaryFileEntry::value(const id& key)
{
    auto name = key.as<NSString>();
    if (!name)
        return nil;
    std::string hostPath = devicePath(m_path); // the device root may change (tests, simulator)
    auto identity = FileIdentity::ofHostPath(hostPath);
    std::lock_guard lock(m_mutex);
    if (!identity) {
        m_taken.reset();
        return nil;
    }
    if (m_taken && m_taken->hostPath == hostPath && m_taken->identity == *identity && m_taken->key == name->utf8())
        return m_taken->value;
    if (auto kept = readKeptEntry(*identity, name->utf8())) {
        m_taken = std::move(kept);
        m_taken->hostPath = hostPath;
        return m_taken->value;
    }
    m_taken = readWholeFile(name->utf8());
    m_taken->hostPath = hostPath;
    keepEntry(*m_taken);
    return m_taken->value;
}

std::optional<DictionaryFileEntry::Taken> DictionaryFileEntry::readKeptEntry(const FileIdentity& identity,
    const std::string& key) const
{
    auto kept = KeptEntryFile::read(keptEntryPath());
    if (!kept || kept->source != identity || kept->key != key)
        return std::nullopt;
    return Taken { {}, identity, key, kept->value };
}

DictionaryFileEntry::Taken DictionaryFileEntry::readWholeFile(const std::string& key) const
{
    Taken taken;
    auto root = PropertyList::readFile(m_path, taken.identity).as<NSDictionary>();
    taken.key = key;
    taken.value = root ? root->objectForKey(key) : nil;
    return taken;
}

void DictionaryFileEntry::keepEntry(const Taken& taken) const
{
    if (taken.identity == FileIdentity {})
        return; // the file went away before it could be read
    KeptEntryFile::write(keptEntryPath(), { taken.identity, taken.key, taken.value });
}
