#pragma once
// The property-list value classes: NSString, NSNumber, NSData, NSDate, NSArray and
// NSDictionary, with their mutable kinds. They are C++ classes that speak the
// Objective-C names (`objectForKey`, `count`, `isEqualToString`) and are registered in the
// runtime under those class names, so that they can travel wherever an id goes.
//
// NSDictionary keeps its keys in insertion order (the order of the file it was read
// from); keys are strings, as in every property list.

#include "ClassBuilder.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class NSString;
class NSNumber;
class NSData;
class NSDate;
class NSArray;
class NSDictionary;

// Values compare like their Objective-C counterparts' -isEqual:.
bool isEqual(const id& a, const id& b);
// What "%@" renders: strings as they are, collections in the old plist style, nil as "(null)".
std::string describe(const id& value);

class NSString : public objc_object {
public:
    NSString();
    explicit NSString(std::string utf8);
    static Class cls();
    static Id<NSString> string(std::string utf8);
    // +stringWithCharacters:length:, from UTF-16 code units. A lone surrogate becomes
    // U+FFFD, as it cannot be kept in UTF-8.
    static Id<NSString> stringWithCharacters(const char16_t* characters, NSUInteger length);

    const std::string& utf8() const { return m_utf8; }
    const char* UTF8String() const { return m_utf8.c_str(); }
    // Length in UTF-16 code units, as -length counts.
    NSUInteger length() const;
    bool isEqualToString(const Id<NSString>& other) const { return other && other->m_utf8 == m_utf8; }
    bool isEqualToString(std::string_view other) const { return m_utf8 == other; }

private:
    std::string m_utf8;
};

// @"literal": "Admin"_ns.
inline Id<NSString> operator""_ns(const char* text, size_t length) { return NSString::string(std::string(text, length)); }

class NSNumber : public objc_object {
public:
    enum class Kind { Boolean, Integer, Real };
    NSNumber();
    static Class cls();
    static Id<NSNumber> numberWithBool(bool);
    static Id<NSNumber> numberWithInteger(NSInteger);
    static Id<NSNumber> numberWithDouble(double);

    Kind kind() const { return m_kind; }
    bool boolValue() const;
    NSInteger integerValue() const;
    double doubleValue() const;
    // The decimal text of the value ("3" for 3, "1" for YES), as -stringValue gives.
    std::string stringValue() const;

private:
    Kind m_kind { Kind::Integer };
    NSInteger m_integer { 0 };
    double m_real { 0 };
};

class NSData : public objc_object {
public:
    // Bytes and what keeps them alive: their own vector, or a read-only mapping of a file
    // (as Foundation maps a file's data where that is safe).
    struct Storage {
        std::shared_ptr<const void> keeper;
        std::span<const uint8_t> bytes;
        static Storage own(std::vector<uint8_t> bytes);
    };

    NSData();
    explicit NSData(std::vector<uint8_t> bytes);
    static Class cls();
    static Id<NSData> data(std::vector<uint8_t> bytes);
    // The file's bytes, or nil when it cannot be read (the path is a device path).
    static Id<NSData> dataWithContentsOfFile(std::string_view path);
    // Bytes read only when first asked for (by any thread, once): a start that holds many
    // pictures it may never show does not bring them all into memory. A read that fails
    // then gives no bytes.
    using Reader = std::function<std::optional<Storage>()>;
    static Id<NSData> dataReadWhenUsed(Reader read);

    std::span<const uint8_t> bytes() const;
    std::vector<uint8_t> copyBytes() const;
    NSUInteger length() const { return bytes().size(); }
    bool writeToFile(std::string_view path, bool atomically) const;

private:
    mutable Storage m_storage;
    mutable Reader m_read;
    mutable std::once_flag m_readOnce;
    mutable std::atomic<bool> m_readPending { false };
};

class NSDate : public objc_object {
public:
    NSDate();
    explicit NSDate(double secondsSinceReferenceDate);
    static Class cls();
    static Id<NSDate> dateWithTimeIntervalSinceReferenceDate(double seconds);
    double timeIntervalSinceReferenceDate() const { return m_seconds; }

private:
    double m_seconds { 0 };
};

class NSArray : public objc_object {
public:
    NSArray();
    static Class cls();
    static Class mutableCls();
    static Id<NSArray> array(std::vector<id> items = {});
    static Id<NSArray> mutableArray(std::vector<id> items = {});

    bool isMutable() const { return object_getClass(this) == mutableCls(); }
    NSUInteger count() const { return m_items.size(); }
    id objectAtIndex(NSUInteger index) const; // nil past the end (never out of bounds here)
    id firstObject() const { return m_items.empty() ? nil : m_items.front(); }
    bool containsObject(const id& object) const;
    const std::vector<id>& items() const { return m_items; }
    std::vector<id>::const_iterator begin() const { return m_items.begin(); }
    std::vector<id>::const_iterator end() const { return m_items.end(); }

    // Mutation, for NSMutableArray.
    void addObject(const id& object);
    void removeAllObjects() { m_items.clear(); }
    Id<NSArray> mutableCopy() const { return mutableArray(m_items); }

private:
    std::vector<id> m_items;
};

class NSDictionary : public objc_object {
public:
    NSDictionary();
    static Class cls();
    static Class mutableCls();
    static Id<NSDictionary> dictionary(std::vector<std::pair<std::string, id>> entries = {});
    static Id<NSDictionary> mutableDictionary(std::vector<std::pair<std::string, id>> entries = {});
    // dictionaryWithObjects:forKeys:count:
    static Id<NSDictionary> dictionaryWithObjectsForKeys(const std::vector<id>& objects, const std::vector<id>& keys);
    // The file's root dictionary, or nil when the file is missing, not a property list or
    // its root is not a dictionary (dictionaryWithContentsOfFile:). The path is a device path.
    static Id<NSDictionary> dictionaryWithContentsOfFile(std::string_view path);

    bool isMutable() const { return object_getClass(this) == mutableCls(); }
    NSUInteger count() const { return m_entries.size(); }
    id objectForKey(std::string_view key) const;
    id objectForKey(const id& key) const;
    // objectForKey: that answers nil unless the value is of the C++ type T.
    template<class T>
    Id<T> valueForKey(std::string_view key) const { return objectForKey(key).as<T>(); }
    std::vector<Id<NSString>> allKeys() const;
    const std::vector<std::pair<Id<NSString>, id>>& entries() const { return m_entries; }

    // Mutation, for NSMutableDictionary. Setting nil removes the key.
    void setObject(const id& object, std::string_view key);
    void setObject(const id& object, const id& key);
    void removeObjectForKey(std::string_view key);
    Id<NSDictionary> mutableCopy() const;

    // writeToFile:atomically: as a property list (XML), through the device root.
    bool writeToFile(std::string_view path, bool atomically) const;

private:
    std::vector<std::pair<Id<NSString>, id>> m_entries;
    std::unordered_map<std::string, size_t> m_index;
};

// Registers the value classes (called when the library loads; harmless to call again).
void registerFoundationValueClasses();
