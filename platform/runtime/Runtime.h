#pragma once
// The stand-in object runtime: classes registered by name, interned selectors, method
// tables with superclass lookup, method replacement, added methods and associated
// objects, under the names the device's runtime and MobileSubstrate give them.

#include "Object.h"
#include "TypeEncoding.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

using IMP = void (*)();

struct objc_selector {
    std::string name;
};

struct objc_method {
    SEL name;
    IMP imp;
    std::string types;
    // `types` interned: two methods or call sites have equal encodings exactly when these
    // pointers are equal, so a send compares one pointer instead of two strings.
    const std::string* encoding { nullptr };
};
using Method = objc_method*;

namespace runtime_detail {

// A class's method cache: the methods its instances were last sent, found without a lock
// or a walk up the superclasses. A cache is valid only for the generation it was filled
// in; every change to what a lookup could find (a method added, replaced or given another
// implementation, a class registered) starts a new generation, so the next send looks the
// method up afresh. Entries are only ever added to a table while it is current; a table
// that fills up or goes stale is replaced, never changed, so readers need no lock.
struct MethodCache {
    struct Entry {
        std::atomic<SEL> selector { nullptr };
        Method method { nullptr }; // written before `selector` is published
    };
    MethodCache(unsigned long generation, size_t capacity) : generation(generation), mask(capacity - 1), entries(capacity) { }

    unsigned long generation;
    size_t mask;
    size_t count { 0 };
    std::vector<Entry> entries;
};

extern std::atomic<unsigned long> methodCacheGeneration;

inline size_t selectorSlot(SEL selector, size_t mask)
{
    auto bits = reinterpret_cast<uintptr_t>(selector);
    return ((bits >> 4) ^ (bits >> 11)) & mask;
}

} // namespace runtime_detail

// A class is an object whose isa is its metaclass; class methods live in the metaclass.
struct objc_class : objc_object {
    using Allocator = objc_object* (*)(Class);

    std::string name;
    Class superclass { nullptr };
    bool isMetaclass { false };
    bool permanent { false }; // kept by objc_resetRuntimeForTesting (the core value classes)
    Allocator allocator { nullptr }; // inherited from the nearest superclass that has one
    std::unordered_map<SEL, std::unique_ptr<objc_method>> methods;
    std::atomic<runtime_detail::MethodCache*> methodCache { nullptr };
};

// Raised for programming errors: an unrecognised selector, a type-encoding mismatch.
class RuntimeError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

SEL sel_registerName(const char* name);
SEL sel_getUid(const char* name);
const char* sel_getName(SEL);
inline SEL sel(const char* name) { return sel_registerName(name); }

Class objc_getClass(const char* name);
Class objc_lookUpClass(const char* name);
Class objc_getMetaClass(const char* name);
Class object_getClass(const objc_object*);
inline Class object_getClass(const id& object) { return object_getClass(object.get()); }
const char* class_getName(Class);
const char* object_getClassName(const id&);
Class class_getSuperclass(Class);
bool class_isMetaClass(Class);
bool class_isSubclassOf(Class, Class ancestor);

// Makes and registers a class (and its metaclass). Returns nullptr when the name is taken.
Class objc_allocateClassPair(Class superclass, const char* name, size_t extraBytes = 0);
void objc_registerClassPair(Class);

Method class_getInstanceMethod(Class, SEL);
Method class_getClassMethod(Class, SEL);
IMP class_getMethodImplementation(Class, SEL);
IMP method_getImplementation(Method);
const char* method_getTypeEncoding(Method);
IMP method_setImplementation(Method, IMP);
bool class_respondsToSelector(Class, SEL);
// Adds a method to the class itself; keeps an existing one of the same name and answers NO.
bool class_addMethod(Class, SEL, IMP, const char* types);
// Adds or replaces the class's own method; answers the previous implementation, if any.
IMP class_replaceMethod(Class, SEL, IMP, const char* types);

// MobileSubstrate's replacement: installs `replacement` for the selector on the class and
// stores what callers ran before in *result. A missing class or selector changes nothing
// and leaves *result empty. An inherited method is replaced on this class only.
void MSHookMessageEx(Class, SEL, IMP replacement, IMP* result);

// Associated objects.
using objc_AssociationPolicy = unsigned long;
inline constexpr objc_AssociationPolicy OBJC_ASSOCIATION_ASSIGN = 0;
inline constexpr objc_AssociationPolicy OBJC_ASSOCIATION_RETAIN_NONATOMIC = 1;
inline constexpr objc_AssociationPolicy OBJC_ASSOCIATION_RETAIN = 01401;
void objc_setAssociatedObject(const id& object, const void* key, const id& value, objc_AssociationPolicy);
id objc_getAssociatedObject(const id& object, const void* key);
void objc_removeAssociatedObjects(const id& object);

// Makes an instance of a class through the allocator of its C++ type (alloc).
id class_createInstance(Class, size_t extraBytes = 0);

// What the host can list: every method that class_addMethod added or MSHookMessageEx
// replaced, with the loaded image its current implementation comes from.
enum class InstalledKind { Replaced, Added };
struct InstalledMethod {
    std::string className;
    std::string selector;
    InstalledKind kind;
    IMP imp;
    std::string imagePath; // dladdr of the implementation; empty when unknown
};
std::vector<InstalledMethod> runtime_installedMethods();

// Tests: forget every class but the permanent ones (root and value classes) so that a
// fresh simulated platform can be registered. Classes are never freed (objects made
// earlier keep working); their names are dropped.
void objc_resetRuntimeForTesting();

[[noreturn]] void objc_raiseUnrecognizedSelector(const id& receiver, SEL);
[[noreturn]] void objc_raiseTypeMismatch(const id& receiver, SEL, const std::string& expected, const std::string& actual);
