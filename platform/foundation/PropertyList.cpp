#include "PropertyList.h"

#include "BinaryPlistShape.h"
#include "DeviceRoot.h"
#include "FileIdentity.h"
#include "FileSystem.h"
#include "UTF8.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <new>
#include <plist/plist.h>

namespace PropertyList {

namespace {

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// Nesting is bounded so that a hostile file cannot exhaust the stack: a document with
// anything nested deeper than this reads as nil as a whole.
constexpr int maximumDepth = 256;
// The lowest bound KAVLOR_PLIST_SIZE_LIMIT may set.
constexpr std::size_t kSmallestFileSizeLimit = 4096;

// Turns a parsed tree into values; notes when the tree goes deeper than maximumDepth.
class Converter {
public:
    id toObject(plist_t node, int depth);
    bool wentTooDeep() const { return m_tooDeep; }

private:
    id dictionaryFrom(plist_t node, int depth);
    id arrayFrom(plist_t node, int depth);

    bool m_tooDeep { false };
};

id Converter::dictionaryFrom(plist_t node, int depth)
{
    auto dictionary = NSDictionary::dictionary();
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(node, &iterator);
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iterator, &key, &value);
        if (!value) {
            free(key);
            break;
        }
        id object = toObject(value, depth + 1);
        if (key && object)
            dictionary->setObject(object, UTF8::mended(key));
        free(key);
    }
    free(iterator);
    return dictionary;
}

id Converter::arrayFrom(plist_t node, int depth)
{
    std::vector<id> items;
    uint32_t count = plist_array_get_size(node);
    items.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (id item = toObject(plist_array_get_item(node, i), depth + 1))
            items.push_back(item);
    }
    return NSArray::array(std::move(items));
}

id Converter::toObject(plist_t node, int depth)
{
    if (!node)
        return nil;
    if (depth > maximumDepth) {
        m_tooDeep = true;
        return nil;
    }
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return NSNumber::numberWithBool(value);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return NSNumber::numberWithInteger(static_cast<NSInteger>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return NSNumber::numberWithDouble(value);
    }
    case PLIST_STRING: {
        char* value = nullptr;
        plist_get_string_val(node, &value);
        // A string that is not UTF-8 (an "ASCII" string with high bytes, a damaged one)
        // is mended as it is read: written back as it came, it would make the file
        // unreadable for every later reader.
        id result = NSString::string(UTF8::mended(value ? value : ""));
        free(value);
        return result;
    }
    case PLIST_DATA: {
        // Copied once, from the parsed tree straight into the value.
        uint64_t length = 0;
        const auto* bytes = reinterpret_cast<const uint8_t*>(plist_get_data_ptr(node, &length));
        return NSData::data(bytes ? std::vector<uint8_t>(bytes, bytes + length) : std::vector<uint8_t>());
    }
    case PLIST_DATE: {
        int32_t seconds = 0, microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        return NSDate::dateWithTimeIntervalSinceReferenceDate(seconds + microseconds / 1e6);
    }
    case PLIST_ARRAY:
        return arrayFrom(node, depth);
    case PLIST_DICT:
        return dictionaryFrom(node, depth);
    default:
        return nil;
    }
}

// The last child of a container, or null.
plist_t lastChild(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_ARRAY: {
        uint32_t count = plist_array_get_size(node);
        return count ? plist_array_get_item(node, count - 1) : nullptr;
    }
    case PLIST_DICT: {
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iterator, &key, &value);
        free(key);
        free(iterator);
        return value;
    }
    default:
        return nullptr;
    }
}

// Frees `child`, which has no children left, from its container `parent`; answers
// whether the container shrank.
bool removeEmptiedChild(plist_t parent, plist_t child)
{
    if (plist_get_node_type(parent) == PLIST_ARRAY) {
        uint32_t before = plist_array_get_size(parent);
        plist_array_item_remove(child);
        return plist_array_get_size(parent) < before;
    }
    uint32_t before = plist_dict_get_size(parent);
    char* key = nullptr;
    plist_dict_get_item_key(child, &key);
    if (key)
        plist_dict_remove_item(parent, key);
    free(key);
    return plist_dict_get_size(parent) < before;
}

// plist_free recurses once per level, so a tree nested too deep for the stack is taken
// apart from the bottom up instead: each node is freed once it has no children left.
void freeDeepTree(plist_t root)
{
    plist_t node = root;
    while (node) {
        if (plist_t child = lastChild(node)) {
            node = child;
            continue;
        }
        if (node == root) {
            plist_free(root);
            return;
        }
        plist_t parent = plist_get_parent(node);
        if (!parent || !removeEmptiedChild(parent, node))
            return; // cannot happen for a parsed tree; leaking beats looping for ever
        node = parent;
    }
}

// Nothing for a value nested deeper than a reader reads back, so that what is written
// can always be read again whole.
plist_t toNode(const id& value, int depth = 0)
{
    if (depth > maximumDepth)
        return nullptr;
    if (auto text = value.as<NSString>())
        return plist_new_string(text->UTF8String());
    if (auto number = value.as<NSNumber>()) {
        switch (number->kind()) {
        case NSNumber::Kind::Boolean:
            return plist_new_bool(number->boolValue());
        case NSNumber::Kind::Integer:
            return plist_new_uint(static_cast<uint64_t>(number->integerValue()));
        case NSNumber::Kind::Real:
            return plist_new_real(number->doubleValue());
        }
    }
    if (auto data = value.as<NSData>())
        return plist_new_data(reinterpret_cast<const char*>(data->bytes().data()), data->length());
    if (auto date = value.as<NSDate>()) {
        // libplist keeps whole seconds in 32 bits (1933 to 2069); a date read from a file
        // can sit just outside (its microseconds carry it over), and a date made in code
        // anywhere: it is brought within, never converted out of range.
        double seconds = date->timeIntervalSinceReferenceDate();
        if (!std::isfinite(seconds))
            return nullptr;
        seconds = std::clamp(seconds, double(INT32_MIN), double(INT32_MAX));
        auto whole = static_cast<int32_t>(seconds);
        return plist_new_date(whole, static_cast<int32_t>((seconds - whole) * 1e6));
    }
    if (auto array = value.as<NSArray>()) {
        PlistPtr node(plist_new_array());
        for (const auto& item : *array) {
            plist_t child = toNode(item, depth + 1);
            if (!child)
                return nullptr;
            plist_array_append_item(node.get(), child);
        }
        return node.release();
    }
    if (auto dictionary = value.as<NSDictionary>()) {
        PlistPtr node(plist_new_dict());
        for (const auto& [key, item] : dictionary->entries()) {
            plist_t child = toNode(item, depth + 1);
            if (!child)
                return nullptr;
            plist_dict_set_item(node.get(), key->UTF8String(), child);
        }
        return node.release();
    }
    return nullptr;
}

} // namespace

std::size_t maximumFileSize()
{
    const char* text = std::getenv("KAVLOR_PLIST_SIZE_LIMIT");
    if (!text || !*text)
        return kMaximumFileSize;
    char* end = nullptr;
    errno = 0;
    unsigned long long asked = std::strtoull(text, &end, 10);
    if (errno || *end || asked < kSmallestFileSizeLimit)
        return kMaximumFileSize;
    return static_cast<std::size_t>(std::min<unsigned long long>(asked, kMaximumFileSize));
}

// The bytes as a value; throws std::bad_alloc when they spell out more than memory holds.
static id readOrThrow(std::span<const uint8_t> bytes)
{
    const char* data = reinterpret_cast<const char*>(bytes.data());
    auto length = static_cast<uint32_t>(bytes.size());
    // libplist's binary reader recurses once per level and copies a shared object once
    // per reference, so its input is checked first.
    if (plist_is_binary(data, length) && !BinaryPlistShape::isSafe(bytes, maximumDepth, maximumFileSize()))
        return nil;
    // XML holds no NUL character; libplist would read one into a string and then abort
    // the process when the string is handed out.
    if (!plist_is_binary(data, length) && std::memchr(data, 0, length))
        return nil;
    plist_t root = nullptr;
    plist_from_memory(data, length, &root);
    if (!root)
        return nil;
    Converter converter;
    id value;
    try {
        value = converter.toObject(root, 0);
    } catch (...) {
        freeDeepTree(root);
        throw;
    }
    if (converter.wentTooDeep()) {
        freeDeepTree(root);
        return nil;
    }
    plist_free(root);
    return value;
}

static std::atomic<unsigned long> parses { 0 };

unsigned long parseCount() { return parses.load(); }

id read(std::span<const uint8_t> bytes)
{
    parses.fetch_add(1, std::memory_order_relaxed);
    if (bytes.empty() || bytes.size() > UINT32_MAX)
        return nil;
    try {
        return readOrThrow(bytes);
    } catch (const std::bad_alloc&) {
        return nil;
    }
}

id readFile(std::string_view path)
{
    auto bytes = FileSystem::readFile(path, maximumFileSize());
    return bytes ? read(*bytes) : nil;
}

Id<NSDictionary> readDictionaryFile(std::string_view path)
{
    return readFile(path).as<NSDictionary>();
}

id readFile(std::string_view path, FileIdentity& identity)
{
    auto bytes = FileSystem::readFile(path, maximumFileSize(), &identity);
    return bytes ? read(*bytes) : nil;
}

namespace {

// The last value read from each file in this process, with the identity it was read at.
struct ReadCache {
    struct Entry {
        FileIdentity identity;
        id value;
    };
    std::mutex mutex;
    std::unordered_map<std::string, Entry> entries; // by host path
};

ReadCache& readCache()
{
    static auto* cache = new ReadCache; // outlives static destruction, like the values
    return *cache;
}

} // namespace

id readFileCached(std::string_view path)
{
    std::string hostPath = devicePath(path);
    auto identity = FileIdentity::ofHostPath(hostPath);
    auto& cache = readCache();
    std::unique_lock lock(cache.mutex);
    if (!identity) {
        cache.entries.erase(hostPath);
        return nil;
    }
    if (auto found = cache.entries.find(hostPath); found != cache.entries.end() && found->second.identity == *identity)
        return found->second.value;
    lock.unlock(); // parse outside the lock: another file's reader need not wait
    FileIdentity readIdentity;
    id value = readFile(path, readIdentity);
    lock.lock();
    cache.entries[hostPath] = { readIdentity, value };
    return value;
}

Id<NSDictionary> readDictionaryFileCached(std::string_view path)
{
    return readFileCached(path).as<NSDictionary>();
}

namespace {

struct TextDeleter {
    void operator()(char* text) const { free(text); }
};
using SerializedText = std::unique_ptr<char, TextDeleter>;

// libplist's own buffer of the value's bytes; empty when the value cannot be written.
std::span<const uint8_t> serializeInto(SerializedText& text, const id& value, Format format)
{
    PlistPtr node(toNode(value));
    if (!node)
        return {};
    char* bytes = nullptr;
    uint32_t length = 0;
    if (format == Format::XML)
        plist_to_xml(node.get(), &bytes, &length);
    else
        plist_to_bin(node.get(), &bytes, &length);
    text.reset(bytes);
    return { reinterpret_cast<const uint8_t*>(bytes), length };
}

} // namespace

std::vector<uint8_t> serialize(const id& value, Format format)
{
    SerializedText text;
    auto bytes = serializeInto(text, value, format);
    return { bytes.begin(), bytes.end() };
}

// Written from libplist's buffer itself: a file of pictures is not copied once more.
bool writeFile(std::string_view path, const id& value, Format format, bool atomically)
{
    SerializedText text;
    auto bytes = serializeInto(text, value, format);
    return !bytes.empty() && FileSystem::writeFile(path, bytes, atomically);
}

} // namespace PropertyList
