#include "NSObjectValues.h"

#include "FileSystem.h"
#include "PropertyList.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <fmt/format.h>

namespace {

Class registerValueClass(const char* name, Class superclass, objc_class::Allocator allocator)
{
    if (Class existing = objc_getClass(name))
        return existing;
    ClassBuilder builder(name, superclass);
    builder.permanent();
    builder.get()->allocator = allocator;
    return builder.get();
}

template<class T>
objc_object* allocate(Class cls)
{
    auto* object = new T();
    object->setIsa(cls);
    return object;
}

} // namespace

// Strings -----------------------------------------------------------------------------

NSString::NSString() : objc_object(cls()) { }
NSString::NSString(std::string utf8) : objc_object(cls()), m_utf8(std::move(utf8)) { }

Class NSString::cls()
{
    static Class cls = registerValueClass("NSString", NSObjectClass(), allocate<NSString>);
    return cls;
}

Id<NSString> NSString::string(std::string utf8) { return make<NSString>(std::move(utf8)); }

Id<NSString> NSString::stringWithCharacters(const char16_t* characters, NSUInteger length)
{
    std::string utf8;
    auto append = [&utf8](char32_t c) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (c >> 18));
            utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    };
    for (NSUInteger i = 0; i < length; ++i) {
        char16_t unit = characters[i];
        bool high = unit >= 0xD800 && unit < 0xDC00;
        bool low = unit >= 0xDC00 && unit < 0xE000;
        if (high && i + 1 < length && characters[i + 1] >= 0xDC00 && characters[i + 1] < 0xE000) {
            append(0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (characters[i + 1] - 0xDC00));
            ++i;
        } else {
            append(high || low ? 0xFFFD : unit);
        }
    }
    return string(std::move(utf8));
}

NSUInteger NSString::length() const
{
    NSUInteger units = 0;
    for (size_t i = 0; i < m_utf8.size();) {
        auto lead = static_cast<unsigned char>(m_utf8[i]);
        size_t width = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        units += width == 4 ? 2 : 1; // characters beyond the BMP take a surrogate pair
        i += width;
    }
    return units;
}

// Numbers -----------------------------------------------------------------------------

NSNumber::NSNumber() : objc_object(cls()) { }

Class NSNumber::cls()
{
    static Class cls = registerValueClass("NSNumber", NSObjectClass(), allocate<NSNumber>);
    return cls;
}

Id<NSNumber> NSNumber::numberWithBool(bool value)
{
    auto number = make<NSNumber>();
    number->m_kind = Kind::Boolean;
    number->m_integer = value;
    return number;
}

Id<NSNumber> NSNumber::numberWithInteger(NSInteger value)
{
    auto number = make<NSNumber>();
    number->m_kind = Kind::Integer;
    number->m_integer = value;
    return number;
}

Id<NSNumber> NSNumber::numberWithDouble(double value)
{
    auto number = make<NSNumber>();
    number->m_kind = Kind::Real;
    number->m_real = value;
    return number;
}

bool NSNumber::boolValue() const { return m_kind == Kind::Real ? m_real != 0 : m_integer != 0; }
// A real outside the integer range saturates and NaN reads as 0, as the device's
// conversion does; a plain cast would be undefined there.
static NSInteger saturatingInteger(double value)
{
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (std::isnan(value))
        return 0;
    if (value >= limit)
        return std::numeric_limits<NSInteger>::max();
    if (value < -limit)
        return std::numeric_limits<NSInteger>::min();
    return static_cast<NSInteger>(value);
}

NSInteger NSNumber::integerValue() const { return m_kind == Kind::Real ? saturatingInteger(m_real) : m_integer; }
double NSNumber::doubleValue() const { return m_kind == Kind::Real ? m_real : static_cast<double>(m_integer); }

std::string NSNumber::stringValue() const
{
    if (m_kind != Kind::Real)
        return std::to_string(m_integer);
    return fmt::format("{}", m_real);
}

// Data and dates ----------------------------------------------------------------------

NSData::NSData() : objc_object(cls()) { }
NSData::NSData(std::vector<uint8_t> bytes) : objc_object(cls()), m_storage(Storage::own(std::move(bytes))) { }

NSData::Storage NSData::Storage::own(std::vector<uint8_t> bytes)
{
    auto kept = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
    std::span<const uint8_t> view(*kept);
    return { std::move(kept), view };
}

Class NSData::cls()
{
    static Class cls = registerValueClass("NSData", NSObjectClass(), allocate<NSData>);
    return cls;
}

Id<NSData> NSData::data(std::vector<uint8_t> bytes) { return make<NSData>(std::move(bytes)); }

Id<NSData> NSData::dataWithContentsOfFile(std::string_view path)
{
    auto bytes = FileSystem::readFile(path);
    return bytes ? data(std::move(*bytes)) : nullptr;
}

Id<NSData> NSData::dataReadWhenUsed(Reader read)
{
    auto result = make<NSData>();
    result->m_read = std::move(read);
    result->m_readPending.store(true, std::memory_order_release);
    return result;
}

std::span<const uint8_t> NSData::bytes() const
{
    if (m_readPending.load(std::memory_order_acquire)) {
        std::call_once(m_readOnce, [this] {
            if (auto read = m_read())
                m_storage = std::move(*read);
            m_read = nullptr;
            m_readPending.store(false, std::memory_order_release);
        });
    }
    return m_storage.bytes;
}

std::vector<uint8_t> NSData::copyBytes() const
{
    auto view = bytes();
    return { view.begin(), view.end() };
}

bool NSData::writeToFile(std::string_view path, bool atomically) const
{
    return FileSystem::writeFile(path, bytes(), atomically);
}

NSDate::NSDate() : objc_object(cls()) { }
NSDate::NSDate(double seconds) : objc_object(cls()), m_seconds(seconds) { }

Class NSDate::cls()
{
    static Class cls = registerValueClass("NSDate", NSObjectClass(), allocate<NSDate>);
    return cls;
}

Id<NSDate> NSDate::dateWithTimeIntervalSinceReferenceDate(double seconds) { return make<NSDate>(seconds); }

// Arrays ------------------------------------------------------------------------------

NSArray::NSArray() : objc_object(cls()) { }

Class NSArray::cls()
{
    static Class cls = registerValueClass("NSArray", NSObjectClass(), allocate<NSArray>);
    return cls;
}

Class NSArray::mutableCls()
{
    static Class cls = registerValueClass("NSMutableArray", NSArray::cls(), allocate<NSArray>);
    return cls;
}

Id<NSArray> NSArray::array(std::vector<id> items)
{
    auto result = make<NSArray>();
    result->m_items = std::move(items);
    return result;
}

Id<NSArray> NSArray::mutableArray(std::vector<id> items)
{
    auto result = array(std::move(items));
    result->setIsa(mutableCls());
    return result;
}

id NSArray::objectAtIndex(NSUInteger index) const { return index < m_items.size() ? m_items[index] : nil; }

bool NSArray::containsObject(const id& object) const
{
    for (const auto& item : m_items) {
        if (isEqual(item, object))
            return true;
    }
    return false;
}

void NSArray::addObject(const id& object)
{
    if (object)
        m_items.push_back(object);
}

// Dictionaries ------------------------------------------------------------------------

NSDictionary::NSDictionary() : objc_object(cls()) { }

Class NSDictionary::cls()
{
    static Class cls = registerValueClass("NSDictionary", NSObjectClass(), allocate<NSDictionary>);
    return cls;
}

Class NSDictionary::mutableCls()
{
    static Class cls = registerValueClass("NSMutableDictionary", NSDictionary::cls(), allocate<NSDictionary>);
    return cls;
}

Id<NSDictionary> NSDictionary::dictionary(std::vector<std::pair<std::string, id>> entries)
{
    auto result = make<NSDictionary>();
    for (auto& [key, value] : entries)
        result->setObject(value, key);
    return result;
}

Id<NSDictionary> NSDictionary::mutableDictionary(std::vector<std::pair<std::string, id>> entries)
{
    auto result = dictionary(std::move(entries));
    result->setIsa(mutableCls());
    return result;
}

Id<NSDictionary> NSDictionary::dictionaryWithObjectsForKeys(const std::vector<id>& objects, const std::vector<id>& keys)
{
    auto result = make<NSDictionary>();
    for (size_t i = 0; i < objects.size() && i < keys.size(); ++i)
        result->setObject(objects[i], keys[i]);
    return result;
}

Id<NSDictionary> NSDictionary::dictionaryWithContentsOfFile(std::string_view path)
{
    return PropertyList::readDictionaryFile(path);
}

id NSDictionary::objectForKey(std::string_view key) const
{
    auto found = m_index.find(std::string(key));
    return found == m_index.end() ? nil : m_entries[found->second].second;
}

id NSDictionary::objectForKey(const id& key) const
{
    auto text = key.as<NSString>();
    return text ? objectForKey(text->utf8()) : nil;
}

std::vector<Id<NSString>> NSDictionary::allKeys() const
{
    std::vector<Id<NSString>> keys;
    keys.reserve(m_entries.size());
    for (const auto& entry : m_entries)
        keys.push_back(entry.first);
    return keys;
}

void NSDictionary::setObject(const id& object, std::string_view key)
{
    if (!object) {
        removeObjectForKey(key);
        return;
    }
    std::string name(key);
    auto found = m_index.find(name);
    if (found != m_index.end()) {
        m_entries[found->second].second = object;
        return;
    }
    m_index.emplace(name, m_entries.size());
    m_entries.emplace_back(NSString::string(std::move(name)), object);
}

void NSDictionary::setObject(const id& object, const id& key)
{
    if (auto text = key.as<NSString>())
        setObject(object, text->utf8());
}

void NSDictionary::removeObjectForKey(std::string_view key)
{
    auto found = m_index.find(std::string(key));
    if (found == m_index.end())
        return;
    m_entries.erase(m_entries.begin() + static_cast<ptrdiff_t>(found->second));
    m_index.clear();
    for (size_t i = 0; i < m_entries.size(); ++i)
        m_index.emplace(m_entries[i].first->utf8(), i);
}

Id<NSDictionary> NSDictionary::mutableCopy() const
{
    auto copy = make<NSDictionary>();
    copy->m_entries = m_entries;
    copy->m_index = m_index;
    copy->setIsa(mutableCls());
    return copy;
}

bool NSDictionary::writeToFile(std::string_view path, bool atomically) const
{
    return PropertyList::writeFile(path, id(const_cast<NSDictionary*>(this)), PropertyList::Format::XML, atomically);
}

// Equality and description ------------------------------------------------------------

bool isEqual(const id& a, const id& b)
{
    if (a == b)
        return true;
    if (!a || !b)
        return false;
    if (auto s = a.as<NSString>(); s)
        return s->isEqualToString(b.as<NSString>());
    if (auto n = a.as<NSNumber>(); n) {
        auto other = b.as<NSNumber>();
        return other && n->doubleValue() == other->doubleValue() && n->integerValue() == other->integerValue();
    }
    if (auto d = a.as<NSData>(); d) {
        auto other = b.as<NSData>();
        return other && std::ranges::equal(d->bytes(), other->bytes());
    }
    if (auto d = a.as<NSDate>(); d) {
        auto other = b.as<NSDate>();
        return other && d->timeIntervalSinceReferenceDate() == other->timeIntervalSinceReferenceDate();
    }
    if (auto array = a.as<NSArray>(); array) {
        auto other = b.as<NSArray>();
        if (!other || other->count() != array->count())
            return false;
        for (NSUInteger i = 0; i < array->count(); ++i) {
            if (!isEqual(array->objectAtIndex(i), other->objectAtIndex(i)))
                return false;
        }
        return true;
    }
    if (auto dictionary = a.as<NSDictionary>(); dictionary) {
        auto other = b.as<NSDictionary>();
        if (!other || other->count() != dictionary->count())
            return false;
        for (const auto& [key, value] : dictionary->entries()) {
            if (!isEqual(value, other->objectForKey(key->utf8())))
                return false;
        }
        return true;
    }
    return false;
}

namespace {

bool needsQuotes(const std::string& text)
{
    if (text.empty())
        return true;
    for (unsigned char c : text) {
        if (!(std::isalnum(c) || c == '_' || c == '.' || c == '$' || c == '/' || c == ':' || c >= 0x80))
            return true;
    }
    return false;
}

// Appends the text, in double quotes with " and \\ escaped when it needs them.
void appendQuoted(std::string& out, const std::string& text)
{
    if (!needsQuotes(text)) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    out += '"';
}

void appendIndent(std::string& out, int depth)
{
    out.append(static_cast<size_t>(depth) * 4, ' ');
}

// Everything is appended to `out` in place: a record is logged at every lookup.
void describeInto(std::string& out, const id& value, int depth)
{
    auto appendTo = std::back_inserter(out);
    if (!value) {
        out += "(null)";
    } else if (auto text = value.as<NSString>()) {
        if (depth == 0)
            out += text->utf8();
        else
            appendQuoted(out, text->utf8());
    } else if (auto number = value.as<NSNumber>()) {
        out += number->stringValue();
    } else if (auto data = value.as<NSData>()) {
        fmt::format_to(appendTo, "{{length = {}, bytes = 0x", data->length());
        size_t shown = std::min<size_t>(data->length(), 8);
        for (uint8_t byte : data->bytes().first(shown)) {
            out += "0123456789abcdef"[byte >> 4];
            out += "0123456789abcdef"[byte & 15];
        }
        out += data->length() > shown ? "... }" : " }";
    } else if (auto date = value.as<NSDate>()) {
        fmt::format_to(appendTo, "{}", date->timeIntervalSinceReferenceDate());
    } else if (auto array = value.as<NSArray>()) {
        out += "(\n";
        for (NSUInteger i = 0; i < array->count(); ++i) {
            appendIndent(out, depth + 1);
            describeInto(out, array->objectAtIndex(i), depth + 1);
            out += i + 1 < array->count() ? ",\n" : "\n";
        }
        appendIndent(out, depth);
        out += ")";
    } else if (auto dictionary = value.as<NSDictionary>()) {
        out += "{\n";
        for (const auto& [key, entry] : dictionary->entries()) {
            appendIndent(out, depth + 1);
            appendQuoted(out, key->utf8());
            out += " = ";
            describeInto(out, entry, depth + 1);
            out += ";\n";
        }
        appendIndent(out, depth);
        out += "}";
    } else {
        fmt::format_to(appendTo, "<{}: {}>", object_getClassName(value), static_cast<const void*>(value.get()));
    }
}

} // namespace

std::string describe(const id& value)
{
    std::string out;
    describeInto(out, value, 0);
    return out;
}

// Runtime methods -----------------------------------------------------------------------

void registerFoundationValueClasses()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    ClassBuilder::extend(NSObjectClass())
        .method("description", [](id self, SEL) -> id { return NSString::string(describe(self)); })
        .method("isEqual:", [](id self, SEL, id other) -> bool { return isEqual(self, other); });
    ClassBuilder::extend(NSString::cls())
        .method("length", [](id self, SEL) -> unsigned long long { return self.as<NSString>()->length(); })
        .method("UTF8String", [](id self, SEL) -> const char* { return self.as<NSString>()->UTF8String(); })
        .method("isEqualToString:", [](id self, SEL, id other) -> bool { return self.as<NSString>()->isEqualToString(other.as<NSString>()); });
    ClassBuilder::extend(NSNumber::cls())
        .method("boolValue", [](id self, SEL) -> bool { return self.as<NSNumber>()->boolValue(); })
        .method("integerValue", [](id self, SEL) -> long long { return self.as<NSNumber>()->integerValue(); })
        .method("stringValue", [](id self, SEL) -> id { return NSString::string(self.as<NSNumber>()->stringValue()); })
        .classMethod("numberWithBool:", [](id, SEL, bool value) -> id { return NSNumber::numberWithBool(value); });
    ClassBuilder::extend(NSArray::cls())
        .method("count", [](id self, SEL) -> unsigned long long { return self.as<NSArray>()->count(); })
        .method("objectAtIndex:", [](id self, SEL, unsigned long long i) -> id { return self.as<NSArray>()->objectAtIndex(i); })
        .method("containsObject:", [](id self, SEL, id object) -> bool { return self.as<NSArray>()->containsObject(object); });
    ClassBuilder::extend(NSArray::mutableCls())
        .method("addObject:", [](id self, SEL, id object) { self.as<NSArray>()->addObject(object); });
    ClassBuilder::extend(NSDictionary::cls())
        .method("count", [](id self, SEL) -> unsigned long long { return self.as<NSDictionary>()->count(); })
        .method("objectForKey:", [](id self, SEL, id key) -> id { return self.as<NSDictionary>()->objectForKey(key); });
    ClassBuilder::extend(NSDictionary::mutableCls())
        .method("setObject:forKey:", [](id self, SEL, id object, id key) { self.as<NSDictionary>()->setObject(object, key); });
    NSData::cls();
    NSDate::cls();
}

static const bool valueClassesRegistered = (registerFoundationValueClasses(), true);
