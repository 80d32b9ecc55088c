#include "KeptEntryFile.h"

#include "DeviceRoot.h"
#include "FileSystem.h"
#include "OpenedFile.h"
#include "PropertyList.h"

#include <cstring>
#include <memory>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace KeptEntryFile {

namespace {

constexpr char kMagic[8] = { 'K', 'V', 'E', 'N', 'T', 'R', 'Y', '1' };
constexpr size_t kHeaderBytes = sizeof kMagic + 8;
// The property list itself is small (the pictures are outside it).
constexpr uint64_t kMaximumListBytes = 16u << 20;

struct Picture {
    std::vector<id> path; // keys, from Value down
    Id<NSData> data;
};

// A copy of the dictionaries of `value` with every large Data value left empty and noted
// in `pictures`; anything else is shared with `value`.
id withoutPictures(const id& value, std::vector<id>& path, std::vector<Picture>& pictures)
{
    auto dictionary = value.as<NSDictionary>();
    if (!dictionary)
        return value;
    auto copy = NSDictionary::dictionary();
    for (const auto& [key, item] : dictionary->entries()) {
        path.push_back(key);
        auto data = item.as<NSData>();
        if (data && data->length() >= kMinimumKeptBytes) {
            pictures.push_back({ path, data });
            copy->setObject(NSData::data({}), key);
        } else {
            copy->setObject(withoutPictures(item, path, pictures), key);
        }
        path.pop_back();
    }
    return copy;
}

void appendBigEndian64(std::vector<uint8_t>& out, uint64_t value)
{
    for (int shift = 56; shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

// Puts the picture back at its path in Value; false when the path leads nowhere.
bool putBack(const id& value, const Id<NSArray>& path, Id<NSData> data)
{
    auto container = value.as<NSDictionary>();
    for (NSUInteger i = 0; container && i + 1 < path->count(); ++i)
        container = container->objectForKey(path->objectAtIndex(i)).as<NSDictionary>();
    auto last = path->count() ? path->objectAtIndex(path->count() - 1).as<NSString>() : nullptr;
    if (!container || !last || !container->objectForKey(last).as<NSData>())
        return false;
    container->setObject(data, last);
    return true;
}

} // namespace

// A read-only mapping of a piece of a file. Mapped rather than read, a picture costs a start
// no fresh memory and no copy: its pages are those already in the page cache.
class FileRangeMapping {
public:
    // Null when the file no longer holds the whole range or cannot be mapped.
    static std::shared_ptr<const FileRangeMapping> map(int fd, uint64_t offset, size_t length)
    {
        struct stat info {};
        if (length == 0 || ::fstat(fd, &info) != 0)
            return nullptr;
        uint64_t size = uint64_t(info.st_size);
        if (offset > size || length > size - offset)
            return nullptr;
        uint64_t pageStart = offset - offset % uint64_t(::sysconf(_SC_PAGESIZE));
        size_t mappedLength = size_t(offset - pageStart) + length;
        void* address = ::mmap(nullptr, mappedLength, PROT_READ, MAP_PRIVATE, fd, off_t(pageStart));
        if (address == MAP_FAILED)
            return nullptr;
        return std::shared_ptr<const FileRangeMapping>(new FileRangeMapping(address, mappedLength, size_t(offset - pageStart), length));
    }
    ~FileRangeMapping() { ::munmap(m_address, m_mappedLength); }
    FileRangeMapping(const FileRangeMapping&) = delete;
    FileRangeMapping& operator=(const FileRangeMapping&) = delete;

    std::span<const uint8_t> bytes() const { return { static_cast<const uint8_t*>(m_address) + m_skipped, m_length }; }

private:
    FileRangeMapping(void* address, size_t mappedLength, size_t skipped, size_t length)
        : m_address(address), m_mappedLength(mappedLength), m_skipped(skipped), m_length(length) { }
    void* m_address;
    size_t m_mappedLength;
    size_t m_skipped;
    size_t m_length;
};

// A picture taken from the kept file only when its bytes are first used (a start holds every
// account's avatar for the panel, shown only when someone asks for it). The file stays open
// until then. A new kept file is written aside and renamed into place, never changed in
// place, so this one keeps the bytes it was taken for; one cut short meanwhile by someone
// else gives no bytes.
static Id<NSData> pictureReadWhenUsed(const std::shared_ptr<const OpenedFile>& file, uint64_t offset, size_t length)
{
    return NSData::dataReadWhenUsed([file, offset, length]() -> std::optional<NSData::Storage> {
        if (length == 0)
            return NSData::Storage::own({});
        auto mapping = FileRangeMapping::map(file->fd(), offset, length);
        if (!mapping)
            return std::nullopt;
        auto bytes = mapping->bytes();
        return NSData::Storage { std::move(mapping), bytes };
    });
}

std::optional<Contents> read(const std::string& path)
{
    auto opened = std::make_shared<const OpenedFile>(devicePath(path));
    const OpenedFile& file = *opened;
    if (!file.isOpen())
        return std::nullopt;
    uint64_t fileSize = file.size();
    uint8_t header[kHeaderBytes];
    if (fileSize < kHeaderBytes || !file.read(0, header) || std::memcmp(header, kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    uint64_t listBytes = 0;
    for (size_t i = sizeof kMagic; i < kHeaderBytes; ++i)
        listBytes = listBytes << 8 | header[i];
    if (listBytes > kMaximumListBytes || listBytes > fileSize - kHeaderBytes)
        return std::nullopt;
    std::vector<uint8_t> listData(listBytes);
    if (!file.read(kHeaderBytes, listData))
        return std::nullopt;
    auto list = PropertyList::read(listData).as<NSDictionary>();
    auto source = list ? FileIdentity::fromPropertyList(list->objectForKey("Source")) : std::nullopt;
    auto key = list ? list->valueForKey<NSString>("Key") : nullptr;
    auto pictures = list ? list->valueForKey<NSArray>("Pictures") : nullptr;
    if (!source || !key || !pictures)
        return std::nullopt;
    Contents contents { *source, key->utf8(), list->objectForKey("Value") };
    for (const auto& entry : *pictures) {
        auto picture = entry.as<NSDictionary>();
        auto picturePath = picture ? picture->valueForKey<NSArray>("Path") : nullptr;
        auto offset = picture ? picture->valueForKey<NSNumber>("Offset") : nullptr;
        auto length = picture ? picture->valueForKey<NSNumber>("Length") : nullptr;
        if (!picturePath || !offset || !length || offset->integerValue() < 0 || length->integerValue() < 0
            || uint64_t(offset->integerValue()) > fileSize || uint64_t(length->integerValue()) > fileSize - uint64_t(offset->integerValue()))
            return std::nullopt;
        if (!putBack(contents.value, picturePath, pictureReadWhenUsed(opened, uint64_t(offset->integerValue()), size_t(length->integerValue()))))
            return std::nullopt;
    }
    return contents;
}

bool write(const std::string& path, const Contents& contents)
{
    std::vector<id> keyPath;
    std::vector<Picture> pictures;
    id value = withoutPictures(contents.value, keyPath, pictures);
    // Offsets count from the start of the pictures first, then are moved past the list,
    // whose length depends on them only through the numbers' widths: the list is laid out
    // with the final offsets once its length is known to stay the same.
    auto listWithOffsetsFrom = [&](uint64_t start) {
        std::vector<id> entries;
        uint64_t offset = start;
        for (const auto& picture : pictures) {
            entries.push_back(NSDictionary::dictionary({
                { "Path", NSArray::array(picture.path) },
                { "Offset", NSNumber::numberWithInteger(NSInteger(offset)) },
                { "Length", NSNumber::numberWithInteger(NSInteger(picture.data->length())) },
            }));
            offset += picture.data->length();
        }
        auto list = NSDictionary::mutableDictionary({
            { "Source", contents.source.asPropertyList() },
            { "Key", NSString::string(contents.key) },
            { "Pictures", NSArray::array(std::move(entries)) },
        });
        if (value)
            list->setObject(value, "Value");
        return PropertyList::serialize(list, PropertyList::Format::Binary);
    };
    std::vector<uint8_t> listBytes = listWithOffsetsFrom(kHeaderBytes);
    bool settled = false;
    for (int attempt = 0; attempt < 4 && !settled && !listBytes.empty(); ++attempt) {
        std::vector<uint8_t> placed = listWithOffsetsFrom(kHeaderBytes + listBytes.size());
        settled = placed.size() == listBytes.size();
        listBytes = std::move(placed);
    }
    if (!settled || listBytes.empty())
        return false;
    std::vector<uint8_t> bytes(std::begin(kMagic), std::end(kMagic));
    appendBigEndian64(bytes, listBytes.size());
    bytes.insert(bytes.end(), listBytes.begin(), listBytes.end());
    for (const auto& picture : pictures)
        bytes.insert(bytes.end(), picture.data->bytes().begin(), picture.data->bytes().end());
    return FileSystem::writeFile(path, bytes);
}

} // namespace KeptEntryFile
