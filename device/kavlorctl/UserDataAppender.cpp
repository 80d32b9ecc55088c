#include "UserDataAppender.h"

#include "BinaryPlistLayout.h"
#include "DeviceRoot.h"
#include "FileSystem.h"
#include "KavlorctlError.h"
#include "PropertyList.h"
#include "Trace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file as it is, mapped read-only: only the pages the layout's reads touch are read.
class MappedFile {
public:
    explicit MappedFile(const std::string& hostPath)
    {
        m_fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat info {};
        if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0)
            return;
        m_identity = FileIdentity::of(info);
        void* bytes = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, m_fd, 0);
        if (bytes == MAP_FAILED)
            return;
        m_bytes = { static_cast<const uint8_t*>(bytes), static_cast<size_t>(info.st_size) };
    }
    ~MappedFile()
    {
        if (!m_bytes.empty())
            ::munmap(const_cast<uint8_t*>(m_bytes.data()), m_bytes.size());
        if (m_fd >= 0)
            ::close(m_fd);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    int fd() const { return m_fd; }
    std::span<const uint8_t> bytes() const { return m_bytes; }
    const std::optional<FileIdentity>& identity() const { return m_identity; }

private:
    int m_fd = -1;
    std::span<const uint8_t> m_bytes;
    std::optional<FileIdentity> m_identity;
};

// What the new file is: the first `keptLength` bytes of the old one, then `tail`.
struct AppendPlan {
    uint64_t keptLength = 0;
    std::vector<uint8_t> tail;
    uint64_t unreferencedBytes = 0;
    uint64_t size() const { return keptLength + tail.size(); }
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
// is: the name as the same writer encodes it. Nothing when no key has them.
std::optional<size_t> positionOfKey(std::span<const uint8_t> file, const BinaryPlistLayout& layout,
    const std::vector<uint64_t>& keys, std::span<const uint8_t> wanted)
{
    for (size_t position = 0; position < keys.size(); ++position) {
        auto key = layout.object(keys[position]);
        if (!key)
            return std::nullopt;
        auto bytes = objectBytes(file, *key);
        if (std::equal(bytes.begin(), bytes.end(), wanted.begin(), wanted.end()))
            return position;
    }
    return std::nullopt;
}

void appendContainerHeader(std::vector<uint8_t>& out, BinaryPlistLayout::Type type, uint64_t count)
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

void appendDictionary(std::vector<uint8_t>& out, const DictionaryReferences& entries, unsigned referenceSize)
{
    appendContainerHeader(out, BinaryPlistLayout::kDictionary, entries.keys.size());
    for (const auto* references : { &entries.keys, &entries.values }) {
        for (uint64_t reference : *references)
            BinaryPlistLayout::appendBigEndian(out, reference, referenceSize);
    }
}

// The record's objects come from a small property list {name: record} that the usual
// writer makes, so every value is encoded as in a file written whole. Its objects are
// added after the old file's, their references moved by the old object count and written
// at the old file's reference size; its root dictionary's place is taken by the new root.
std::optional<AppendPlan> planAppend(std::span<const uint8_t> file, const std::string& name,
    const Id<NSDictionary>& record, bool exists)
{
    auto old = BinaryPlistLayout::of(file);
    if (!old)
        return std::nullopt;
    auto root = dictionaryAt(*old, old->rootIndex());
    if (!root)
        return std::nullopt;

    std::vector<uint8_t> wrapperBytes = PropertyList::serialize(NSDictionary::dictionary({ { name, record } }), PropertyList::Format::Binary);
    auto wrapper = BinaryPlistLayout::of(wrapperBytes);
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
    auto position = positionOfKey(file, *old, root->keys, objectBytes(wrapperBytes, *wrapperKey));
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

    AppendPlan plan;
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
        offsets.push_back(plan.keptLength + plan.tail.size());
        if (index == wrapper->rootIndex()) {
            appendDictionary(plan.tail, newRoot, referenceSize);
            continue;
        }
        auto object = wrapper->object(index);
        auto references = object ? wrapper->references(*object) : std::nullopt;
        if (!references)
            return std::nullopt;
        auto bytes = objectBytes(wrapperBytes, *object);
        if (!object->isContainer()) {
            plan.tail.insert(plan.tail.end(), bytes.begin(), bytes.end());
            continue;
        }
        plan.tail.insert(plan.tail.end(), bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(object->headerSize));
        for (uint64_t reference : *references)
            BinaryPlistLayout::appendBigEndian(plan.tail, base + reference, referenceSize);
    }

    uint64_t offsetTableAt = plan.keptLength + plan.tail.size();
    unsigned offsetSize = BinaryPlistLayout::sizeFor(offsets.back());
    for (uint64_t offset : offsets)
        BinaryPlistLayout::appendBigEndian(plan.tail, offset, offsetSize);
    plan.tail.insert(plan.tail.end(), 6, 0);
    plan.tail.push_back(static_cast<uint8_t>(offsetSize));
    plan.tail.push_back(static_cast<uint8_t>(referenceSize));
    BinaryPlistLayout::appendBigEndian(plan.tail, objectCount, 8);
    BinaryPlistLayout::appendBigEndian(plan.tail, base + wrapper->rootIndex(), 8);
    BinaryPlistLayout::appendBigEndian(plan.tail, offsetTableAt, 8);

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
// process; where it cannot (another file system on an old kernel), they are written from
// the mapping.
bool copyPrefix(const MappedFile& from, int to, uint64_t length)
{
    loff_t offset = 0;
    while (static_cast<uint64_t>(offset) < length) {
        ssize_t copied = ::copy_file_range(from.fd(), &offset, to, nullptr, length - static_cast<uint64_t>(offset), 0);
        if (copied > 0)
            continue;
        if (copied == 0 || (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL))
            return false;
        return ::lseek(to, offset, SEEK_SET) == offset
            && writeAll(to, from.bytes().subspan(static_cast<size_t>(offset), length - static_cast<uint64_t>(offset)));
    }
    return true;
}

} // namespace

std::optional<FileIdentity> UserDataAppender::put(const std::string& path, const std::string& description,
    const FileIdentity& expected, const std::string& name, const Id<NSDictionary>& record, bool exists)
{
    std::string hostPath = devicePath(path);
    MappedFile file(hostPath);
    if (file.bytes().empty() || file.identity() != expected)
        return std::nullopt;
    auto plan = planAppend(file.bytes(), name, record, exists);
    if (!plan || plan->size() > PropertyList::maximumFileSize()
        || double(plan->unreferencedBytes) > kMaximumUnreferencedShare * double(plan->size()))
        return std::nullopt;
    errno = 0;
    bool written = FileSystem::writeFileWith(path, [&](int fd) {
        return copyPrefix(file, fd, plan->keptLength) && writeAll(fd, plan->tail);
    });
    if (!written)
        throw KavlorctlError(fmt::format("cannot write the {} {}: {}", description, hostPath,
            errno ? std::strerror(errno) : "unknown error"));
    Trace::emit("file-write", { { "path", path }, { "by", "kavlorctl" }, { "what", description } });
    return FileIdentity::ofPath(path);
}
