#include "UserDataAppender.h"

#include "BinaryPlistLayout.h"
#include "DeviceRoot.h"
#include "FileSystem.h"
#include "KavlorctlError.h"
#include "OpenedFile.h"
#include "PropertyList.h"
#include "Trace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <string_view>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the new file is: the first `keptLength` bytes of the old one, then the pieces in
// order (views into the small property list of the record, into the record's pictures, and
// into `ownBytes`, the few objects written here). Moved, never copied: a move keeps its
// buffers where the pieces point.
struct AppendPlan {
    AppendPlan() = default;
    AppendPlan(AppendPlan&&) = default;
    AppendPlan(const AppendPlan&) = delete;
    AppendPlan& operator=(const AppendPlan&) = delete;

    uint64_t keptLength = 0;
    std::vector<uint8_t> recordList;
    std::deque<std::vector<uint8_t>> ownBytes;
    std::vector<std::span<const uint8_t>> pieces;
    uint64_t piecesLength = 0;
    uint64_t unreferencedBytes = 0;

    uint64_t size() const { return keptLength + piecesLength; }
    void add(std::span<const uint8_t> piece)
    {
        pieces.push_back(piece);
        piecesLength += piece.size();
    }
    void addOwn(std::vector<uint8_t> bytes) { add(std::span<const uint8_t>(ownBytes.emplace_back(std::move(bytes)))); }
};

struct DictionaryReferences {
    std::vector<uint64_t> keys;
    std::vector<uint64_t> values;
};

std::optional<DictionaryReferences> dictionaryAt(const BinaryPlistLayout& layout, uint64_t index)
{
    auto object = layout.object(index);
    if (!object || object->type != BinaryPlistLayout::kDictionary)
        return std::nullopt;
    auto references = layout.references(*object);
    if (!references)
        return std::nullopt;
    auto middle = references->begin() + static_cast<ptrdiff_t>(object->count);
    return DictionaryReferences { { references->begin(), middle }, { middle, references->end() } };
}

std::span<const uint8_t> objectBytes(std::span<const uint8_t> file, const BinaryPlistLayout::Object& object)
{
    return file.subspan(object.offset, object.extent);
}

// Where among the root's keys a key with exactly these bytes (marker, count, characters)
// is: the name as the same writer encodes it. Nothing when no key has them, or a key
// cannot be read.
std::optional<size_t> positionOfKey(const BinaryPlistLayout& layout, const std::vector<uint64_t>& keys,
    std::span<const uint8_t> wanted)
{
    for (size_t position = 0; position < keys.size(); ++position) {
        auto key = layout.object(keys[position]);
        auto bytes = key ? layout.bytesOf(*key) : std::nullopt;
        if (!bytes)
            return std::nullopt;
        if (std::equal(bytes->begin(), bytes->end(), wanted.begin(), wanted.end()))
            return position;
    }
    return std::nullopt;
}

void appendCountedHeader(std::vector<uint8_t>& out, BinaryPlistLayout::Type type, uint64_t count)
{
    if (count < 0xF) {
        out.push_back(static_cast<uint8_t>(type << 4 | count));
        return;
    }
    out.push_back(static_cast<uint8_t>(type << 4 | 0xF));
    unsigned size = BinaryPlistLayout::sizeFor(count);
    unsigned power = size == 1 ? 0 : size == 2 ? 1 : size == 4 ? 2 : 3;
    out.push_back(static_cast<uint8_t>(BinaryPlistLayout::kInteger << 4 | power));
    BinaryPlistLayout::appendBigEndian(out, count, size);
}

std::vector<uint8_t> dictionaryObject(const DictionaryReferences& entries, unsigned referenceSize)
{
    std::vector<uint8_t> out;
    appendCountedHeader(out, BinaryPlistLayout::kDictionary, entries.keys.size());
    for (const auto* references : { &entries.keys, &entries.values }) {
        for (uint64_t reference : *references)
            BinaryPlistLayout::appendBigEndian(out, reference, referenceSize);
    }
    return out;
}

// The record's pictures do not go through the serialiser, which would copy megabytes
// several times: each is replaced by a short stand-in of its own, and its object written
// from the picture's bytes where the stand-in's object was.
class PictureStandIns {
public:
    static constexpr size_t kMinimumBytes = 4096;

    // The record with its large Data values replaced; nothing when one of its small Data
    // values could be taken for a stand-in.
    std::optional<Id<NSDictionary>> replaceIn(const Id<NSDictionary>& record)
    {
        auto copy = NSDictionary::mutableDictionary();
        for (const auto& [key, value] : record->entries()) {
            auto data = value.as<NSData>();
            if (!data || data->length() < kMinimumBytes) {
                if (data && isStandIn(data->bytes()))
                    return std::nullopt;
                copy->setObject(value, key);
                continue;
            }
            std::vector<uint8_t> standIn(kPrefix.begin(), kPrefix.end());
            standIn.push_back(static_cast<uint8_t>(m_pictures.size()));
            m_pictures.push_back(std::span<const uint8_t>(data->bytes()));
            copy->setObject(NSData::data(std::move(standIn)), key);
        }
        return copy;
    }

    // The picture a Data object's contents stand in for.
    std::optional<std::span<const uint8_t>> pictureFor(std::span<const uint8_t> contents) const
    {
        if (!isStandIn(contents) || contents.back() >= m_pictures.size())
            return std::nullopt;
        return m_pictures[contents.back()];
    }

private:
    static constexpr std::string_view kPrefix { "\0kavlorctl-picture:", 19 };

    static bool isStandIn(std::span<const uint8_t> bytes)
    {
        return bytes.size() == kPrefix.size() + 1 && std::equal(kPrefix.begin(), kPrefix.end(), bytes.begin());
    }

    std::vector<std::span<const uint8_t>> m_pictures;
};

// The record's objects come from a small property list {name: record} that the usual
// writer makes, so every value is encoded as in a file written whole. Its objects are
// added after the old file's, their references moved by the old object count and written
// at the old file's reference size; its root dictionary's place is taken by the new root.
std::optional<AppendPlan> planAppend(const OpenedFile& file, const std::string& name,
    const Id<NSDictionary>& record, bool exists)
{
    auto old = BinaryPlistLayout::of(file.size(), [&](uint64_t offset, std::span<uint8_t> into) { return file.read(offset, into); });
    if (!old)
        return std::nullopt;
    auto root = dictionaryAt(*old, old->rootIndex());
    if (!root)
        return std::nullopt;

    AppendPlan plan;
    PictureStandIns pictures;
    auto recordWithStandIns = pictures.replaceIn(record);
    if (!recordWithStandIns)
        return std::nullopt;
    plan.recordList = PropertyList::serialize(NSDictionary::dictionary({ { name, *recordWithStandIns } }), PropertyList::Format::Binary);
    std::span<const uint8_t> recordList(plan.recordList);
    auto wrapper = BinaryPlistLayout::of(recordList);
    if (!wrapper)
        return std::nullopt;
    auto wrapperRoot = dictionaryAt(*wrapper, wrapper->rootIndex());
    if (!wrapperRoot || wrapperRoot->keys.size() != 1)
        return std::nullopt;
    auto wrapperKey = wrapper->object(wrapperRoot->keys[0]);
    if (!wrapperKey)
        return std::nullopt;

    const uint64_t base = old->objectCount();
    const uint64_t objectCount = base + wrapper->objectCount();
    const unsigned referenceSize = old->referenceSize();
    if (BinaryPlistLayout::sizeFor(objectCount - 1) > referenceSize)
        return std::nullopt;

    // The caller's knowledge of the names and the file's keys must agree.
    auto position = positionOfKey(*old, root->keys, objectBytes(recordList, *wrapperKey));
    if (position.has_value() != exists)
        return std::nullopt;

    DictionaryReferences newRoot = *root;
    uint64_t newRecord = base + wrapperRoot->values[0];
    if (position) {
        newRoot.values[*position] = newRecord;
    } else {
        newRoot.keys.push_back(base + wrapperRoot->keys[0]);
        newRoot.values.push_back(newRecord);
    }

    plan.keptLength = old->offsetTableAt();
    std::vector<uint64_t> offsets;
    offsets.reserve(objectCount);
    for (uint64_t index = 0; index < base; ++index) {
        auto object = old->object(index);
        if (!object)
            return std::nullopt;
        offsets.push_back(object->offset);
    }
    for (uint64_t index = 0; index < wrapper->objectCount(); ++index) {
        offsets.push_back(plan.size());
        if (index == wrapper->rootIndex()) {
            plan.addOwn(dictionaryObject(newRoot, referenceSize));
            continue;
        }
        auto object = wrapper->object(index);
        auto references = object ? wrapper->references(*object) : std::nullopt;
        if (!references)
            return std::nullopt;
        auto bytes = objectBytes(recordList, *object);
        if (object->type == BinaryPlistLayout::kData) {
            if (auto picture = pictures.pictureFor(bytes.subspan(object->headerSize))) {
                std::vector<uint8_t> header;
                appendCountedHeader(header, BinaryPlistLayout::kData, picture->size());
                plan.addOwn(std::move(header));
                plan.add(*picture);
                continue;
            }
        }
        if (!object->isContainer()) {
            plan.add(bytes);
            continue;
        }
        std::vector<uint8_t> container(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(object->headerSize));
        for (uint64_t reference : *references)
            BinaryPlistLayout::appendBigEndian(container, base + reference, referenceSize);
        plan.addOwn(std::move(container));
    }

    uint64_t offsetTableAt = plan.size();
    unsigned offsetSize = BinaryPlistLayout::sizeFor(offsets.back());
    std::vector<uint8_t> table;
    table.reserve(offsets.size() * offsetSize + BinaryPlistLayout::kTrailerSize);
    for (uint64_t offset : offsets)
        BinaryPlistLayout::appendBigEndian(table, offset, offsetSize);
    table.insert(table.end(), 6, 0);
    table.push_back(static_cast<uint8_t>(offsetSize));
    table.push_back(static_cast<uint8_t>(referenceSize));
    BinaryPlistLayout::appendBigEndian(table, objectCount, 8);
    BinaryPlistLayout::appendBigEndian(table, base + wrapper->rootIndex(), 8);
    BinaryPlistLayout::appendBigEndian(table, offsetTableAt, 8);
    plan.addOwn(std::move(table));

    // Of the old objects, those the new root still reaches stay in use; a replaced record's
    // name, written again with the new one, is the only new object nothing refers to.
    std::vector<uint64_t> kept = root->keys;
    for (size_t i = 0; i < root->values.size(); ++i) {
        if (!position || i != *position)
            kept.push_back(root->values[i]);
    }
    auto reachable = old->reachableBytes(kept);
    if (!reachable)
        return std::nullopt;
    uint64_t oldObjects = old->offsetTableAt() - BinaryPlistLayout::kHeaderSize;
    plan.unreferencedBytes = oldObjects - std::min(oldObjects, *reachable) + (position ? wrapperKey->extent : 0);
    return plan;
}

bool writeAll(int fd, std::span<const uint8_t> bytes)
{
    while (!bytes.empty()) {
        ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
        if (wrote <= 0)
            return false;
        bytes = bytes.subspan(static_cast<size_t>(wrote));
    }
    return true;
}

// The kernel copies the bytes from file to file without bringing them through this
// process; where it cannot (another file system on an old kernel), they are read and
// written in pieces.
// The copy goes in pieces, each handed to the disk as soon as it is copied, so that the
// disk writes while the next piece is copied rather than all at the closing fsync.
bool copyPrefix(const OpenedFile& from, int to, uint64_t length)
{
    constexpr uint64_t kPiece = 8 << 20;
    loff_t offset = 0;
    while (static_cast<uint64_t>(offset) < length) {
        loff_t pieceStart = offset;
        ssize_t copied = ::copy_file_range(from.fd(), &offset, to, nullptr, std::min(kPiece, length - static_cast<uint64_t>(offset)), 0);
        if (copied > 0) {
            ::sync_file_range(to, pieceStart, copied, SYNC_FILE_RANGE_WRITE);
            continue;
        }
        if (copied == 0 || (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL))
            return false;
        break;
    }
    if (::lseek(to, offset, SEEK_SET) != offset)
        return false;
    std::vector<uint8_t> buffer(1 << 20);
    for (auto at = static_cast<uint64_t>(offset); at < length;) {
        std::span<uint8_t> piece(buffer.data(), static_cast<size_t>(std::min<uint64_t>(buffer.size(), length - at)));
        if (!from.read(at, piece) || !writeAll(to, piece))
            return false;
        at += piece.size();
    }
    return true;
}

bool writeNewFile(int fd, const OpenedFile& old, const AppendPlan& plan)
{
    if (!copyPrefix(old, fd, plan.keptLength))
        return false;
    return std::all_of(plan.pieces.begin(), plan.pieces.end(), [&](std::span<const uint8_t> piece) { return writeAll(fd, piece); });
}

} // namespace

std::optional<FileIdentity> UserDataAppender::put(const std::string& path, const std::string& description,
    const FileIdentity& expected, const std::string& name, const Id<NSDictionary>& record, bool exists)
{
    std::string hostPath = devicePath(path);
    // Only the parts the layout asks for are read: a mapping of the file would take all of
    // it into this process's memory here, where the page cache holds a freshly written file
    // in large pieces that a touch maps whole.
    OpenedFile file(hostPath);
    if (file.identity() != expected)
        return std::nullopt;
    auto plan = planAppend(file, name, record, exists);
    if (!plan || plan->size() > PropertyList::maximumFileSize()
        || double(plan->unreferencedBytes) > kMaximumUnreferencedShare * double(plan->size()))
        return std::nullopt;
    errno = 0;
    bool written = FileSystem::writeFileWith(path, [&](int fd) { return writeNewFile(fd, file, *plan); });
    if (!written)
        throw KavlorctlError(fmt::format("cannot write the {} {}: {}", description, hostPath,
            errno ? std::strerror(errno) : "unknown error"));
    Trace::emit("file-write", { { "path", path }, { "by", "kavlorctl" }, { "what", description } });
    return FileIdentity::ofPath(path);
}
