#include "Block.h"
#include "ClassBuilder.h"

#include <cstring>
#include <dlfcn.h>
#include <fmt/format.h>

namespace {

struct InstallRecord {
    Class cls;
    SEL selector;
    InstalledKind kind;
};

// The runtime's tables live for the whole process and are never destroyed, so that
// objects outliving static destruction still find their classes.
// Looks names up by string_view, so that interning a name makes no string.
struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const { return std::hash<std::string_view>()(name); }
};

struct Registry {
    std::shared_mutex mutex;
    std::unordered_map<std::string, Class> classes;
    // Every class and metaclass ever made, registered or not, including those a test's
    // runtime reset forgot: classes live as long as the process (objects and method
    // tables may point at them), and the table is what owns them, so that a leak checker
    // tells a lost object from a class that is meant to stay.
    std::vector<Class> everyClass;
    std::vector<InstallRecord> installed;

    std::shared_mutex selectorMutex;
    std::unordered_map<std::string, std::unique_ptr<objc_selector>, NameHash, std::equal_to<>> selectors;

    std::mutex encodingMutex;
    std::unordered_map<std::string, std::unique_ptr<std::string>, NameHash, std::equal_to<>> encodings;

    // Fills method caches; held with `mutex` shared, so no generation starts meanwhile.
    std::mutex cacheMutex;
    // Caches replaced while a reader may still be probing them; kept, never freed.
    std::vector<std::unique_ptr<runtime_detail::MethodCache>> retiredCaches;

    std::mutex associationMutex;
};

Registry& registry()
{
    static auto* instance = new Registry;
    return *instance;
}

Method ownMethod(Class cls, SEL selector)
{
    auto found = cls->methods.find(selector);
    return found == cls->methods.end() ? nullptr : found->second.get();
}

Method findMethodLocked(Class cls, SEL selector)
{
    for (; cls; cls = cls->superclass) {
        if (Method method = ownMethod(cls, selector))
            return method;
    }
    return nullptr;
}

void cacheMethodLocked(runtime_detail::MethodCache& cache, SEL selector, Method method)
{
    size_t slot = runtime_detail::selectorSlot(selector, cache.mask);
    while (SEL taken = cache.entries[slot].selector.load(std::memory_order_relaxed)) {
        if (taken == selector)
            return;
        slot = (slot + 1) & cache.mask;
    }
    cache.entries[slot].method = method;
    cache.entries[slot].selector.store(selector, std::memory_order_release);
    ++cache.count;
}

// Called with the registry's lock held exclusively, after any change to what a lookup
// could find: every method cache goes stale at once.
void startCacheGenerationLocked()
{
    runtime_detail::methodCacheGeneration.fetch_add(1, std::memory_order_release);
}

Method addMethodLocked(Class cls, SEL selector, IMP imp, std::string types)
{
    const std::string* encoding = runtime_detail::internEncoding(types);
    auto method = std::make_unique<objc_method>(objc_method { selector, imp, std::move(types), encoding });
    Method result = method.get();
    cls->methods[selector] = std::move(method);
    startCacheGenerationLocked();
    return result;
}

// Adds the method to the class's cache, replacing the table when it is stale or three
// quarters full. Called with the registry's lock held shared and the cache mutex held.
void cacheMethodLocked(Registry& table, Class cls, SEL selector, Method method)
{
    using runtime_detail::MethodCache;
    unsigned long generation = runtime_detail::methodCacheGeneration.load(std::memory_order_acquire);
    MethodCache* cache = cls->methodCache.load(std::memory_order_acquire);
    bool current = cache && cache->generation == generation;
    if (!current || (cache->count + 1) * 4 > cache->entries.size() * 3) {
        size_t capacity = current ? cache->entries.size() * 2 : (cache ? cache->entries.size() : 8);
        auto fresh = std::make_unique<MethodCache>(generation, capacity);
        if (current) {
            for (const auto& entry : cache->entries) {
                if (SEL kept = entry.selector.load(std::memory_order_relaxed))
                    cacheMethodLocked(*fresh, kept, entry.method);
            }
        }
        cacheMethodLocked(*fresh, selector, method);
        cls->methodCache.store(fresh.release(), std::memory_order_release);
        if (cache)
            table.retiredCaches.emplace_back(cache);
        return;
    }
    cacheMethodLocked(*cache, selector, method);
}

Class makeClass(const std::string& name, Class superclass, bool isMetaclass)
{
    auto* cls = new objc_class;
    cls->makeImmortal();
    {
        auto& table = registry();
        std::unique_lock lock(table.mutex);
        table.everyClass.push_back(cls);
    }
    cls->name = name;
    cls->superclass = superclass;
    cls->isMetaclass = isMetaclass;
    return cls;
}

Class rootClassOf(Class cls)
{
    while (cls->superclass)
        cls = cls->superclass;
    return cls;
}

std::string describeReceiver(const id& receiver, SEL selector)
{
    Class cls = object_getClass(receiver);
    bool isClassObject = cls && cls->isMetaclass;
    return fmt::format("{}[{} {}]", isClassObject ? '+' : '-', cls ? cls->name : "?", sel_getName(selector));
}

} // namespace

struct objc_object::Association {
    const void* key;
    id strongValue;
    objc_object* assignedValue;
};

objc_object::~objc_object()
{
    delete m_associations;
}

// Selectors ---------------------------------------------------------------------------

// The selectors this thread interned last, by the address of the name they were asked
// for: a call site passing a string literal finds its selector here at the cost of one
// string comparison (the comparison, not the address, decides, so a reused buffer that
// now holds another name is looked up afresh).
struct InternedSlot {
    const char* name { nullptr };
    SEL selector { nullptr };
};

static InternedSlot& recentSlotFor(const char* name)
{
    static thread_local InternedSlot slots[64];
    return slots[(reinterpret_cast<uintptr_t>(name) >> 3) % std::size(slots)];
}

static SEL internName(const char* name);

SEL sel_registerName(const char* name)
{
    InternedSlot& slot = recentSlotFor(name);
    if (slot.name == name && slot.selector && std::strcmp(slot.selector->name.c_str(), name) == 0)
        return slot.selector;
    SEL selector = internName(name);
    slot = { name, selector };
    return selector;
}

static SEL internName(const char* name)
{
    auto& table = registry();
    std::string_view key(name);
    {
        std::shared_lock lock(table.selectorMutex);
        if (auto found = table.selectors.find(key); found != table.selectors.end())
            return found->second.get();
    }
    std::unique_lock lock(table.selectorMutex);
    auto& entry = table.selectors[std::string(key)];
    if (!entry)
        entry = std::make_unique<objc_selector>(objc_selector { std::string(key) });
    return entry.get();
}

SEL sel_getUid(const char* name) { return sel_registerName(name); }
const char* sel_getName(SEL selector) { return selector ? selector->name.c_str() : "<null selector>"; }

// Classes -----------------------------------------------------------------------------

Class objc_getClass(const char* name)
{
    if (!name)
        return nullptr;
    auto& table = registry();
    std::shared_lock lock(table.mutex);
    auto found = table.classes.find(name);
    return found == table.classes.end() ? nullptr : found->second;
}

Class objc_lookUpClass(const char* name) { return objc_getClass(name); }

Class objc_getMetaClass(const char* name)
{
    Class cls = objc_getClass(name);
    return cls ? cls->isa() : nullptr;
}

Class object_getClass(const objc_object* object) { return object ? object->isa() : nullptr; }
const char* class_getName(Class cls) { return cls ? cls->name.c_str() : "nil"; }
const char* object_getClassName(const id& object) { return class_getName(object_getClass(object)); }
Class class_getSuperclass(Class cls) { return cls ? cls->superclass : nullptr; }
bool class_isMetaClass(Class cls) { return cls && cls->isMetaclass; }

bool class_isSubclassOf(Class cls, Class ancestor)
{
    for (; cls; cls = cls->superclass) {
        if (cls == ancestor)
            return true;
    }
    return false;
}

Class objc_allocateClassPair(Class superclass, const char* name, size_t)
{
    if (!name || objc_getClass(name))
        return nullptr;
    Class cls = makeClass(name, superclass, false);
    Class metaclass = makeClass(name, superclass ? superclass->isa() : cls, true);
    Class rootMetaclass = superclass ? rootClassOf(superclass)->isa() : metaclass;
    metaclass->setIsa(rootMetaclass);
    cls->setIsa(metaclass);
    return cls;
}

void objc_registerClassPair(Class cls)
{
    if (!cls)
        return;
    auto& table = registry();
    std::unique_lock lock(table.mutex);
    table.classes.emplace(cls->name, cls);
    startCacheGenerationLocked();
}

id class_createInstance(Class cls, size_t)
{
    if (!cls)
        return nil;
    for (Class c = cls; c; c = c->superclass) {
        if (c->allocator)
            return id(c->allocator(cls));
    }
    return id(new objc_object(cls));
}

// Methods -----------------------------------------------------------------------------

Method class_getInstanceMethod(Class cls, SEL selector)
{
    if (!cls || !selector)
        return nullptr;
    std::shared_lock lock(registry().mutex);
    return findMethodLocked(cls, selector);
}

Method class_getClassMethod(Class cls, SEL selector)
{
    return cls ? class_getInstanceMethod(cls->isa(), selector) : nullptr;
}

IMP class_getMethodImplementation(Class cls, SEL selector)
{
    Method method = class_getInstanceMethod(cls, selector);
    return method ? method->imp : nullptr;
}

IMP method_getImplementation(Method method) { return method ? method->imp : nullptr; }
const char* method_getTypeEncoding(Method method) { return method ? method->types.c_str() : nullptr; }

IMP method_setImplementation(Method method, IMP imp)
{
    if (!method)
        return nullptr;
    std::unique_lock lock(registry().mutex);
    startCacheGenerationLocked();
    return std::exchange(method->imp, imp);
}

bool class_respondsToSelector(Class cls, SEL selector) { return class_getInstanceMethod(cls, selector); }

bool class_addMethod(Class cls, SEL selector, IMP imp, const char* types)
{
    if (!cls || !selector || !imp)
        return false;
    auto& table = registry();
    std::unique_lock lock(table.mutex);
    if (ownMethod(cls, selector))
        return false;
    addMethodLocked(cls, selector, imp, types ? types : "");
    table.installed.push_back({ cls, selector, InstalledKind::Added });
    return true;
}

IMP class_replaceMethod(Class cls, SEL selector, IMP imp, const char* types)
{
    if (!cls || !selector)
        return nullptr;
    std::unique_lock lock(registry().mutex);
    if (Method method = ownMethod(cls, selector)) {
        startCacheGenerationLocked();
        return std::exchange(method->imp, imp);
    }
    addMethodLocked(cls, selector, imp, types ? types : "");
    return nullptr;
}

void MSHookMessageEx(Class cls, SEL selector, IMP replacement, IMP* result)
{
    if (!cls || !selector || !replacement)
        return;
    auto& table = registry();
    std::unique_lock lock(table.mutex);
    Method method = findMethodLocked(cls, selector);
    if (!method)
        return;
    IMP previous = method->imp;
    if (result)
        *result = previous;
    if (ownMethod(cls, selector)) {
        method->imp = replacement;
        startCacheGenerationLocked();
    } else
        addMethodLocked(cls, selector, replacement, method->types);
    table.installed.push_back({ cls, selector, InstalledKind::Replaced });
}

std::vector<InstalledMethod> runtime_installedMethods()
{
    auto& table = registry();
    std::shared_lock lock(table.mutex);
    std::vector<InstalledMethod> result;
    for (const auto& record : table.installed) {
        Method method = ownMethod(record.cls, record.selector);
        IMP imp = method ? method->imp : nullptr;
        Dl_info info {};
        std::string image;
        if (imp && dladdr(reinterpret_cast<void*>(imp), &info) && info.dli_fname)
            image = info.dli_fname;
        result.push_back({ record.cls->name, sel_getName(record.selector), record.kind, imp, image });
    }
    return result;
}

void objc_resetRuntimeForTesting()
{
    NSObjectClass();
    blockClass();
    auto& table = registry();
    std::unique_lock lock(table.mutex);
    std::erase_if(table.classes, [](const auto& entry) { return !entry.second->permanent; });
    table.installed.clear();
    startCacheGenerationLocked();
}

void runtime_detail::addPlatformMethod(Class cls, SEL selector, IMP imp, const std::string& types)
{
    std::unique_lock lock(registry().mutex);
    addMethodLocked(cls, selector, imp, types);
}

std::atomic<unsigned long> runtime_detail::methodCacheGeneration { 1 };

Method runtime_detail::lookUpAndCacheOrRaise(objc_object* receiver, Class start, SEL selector)
{
    Method method = nullptr;
    if (start && selector) {
        auto& table = registry();
        std::shared_lock lock(table.mutex);
        method = findMethodLocked(start, selector);
        if (method) {
            std::lock_guard cacheLock(table.cacheMutex);
            cacheMethodLocked(table, start, selector, method);
        }
    }
    if (!method)
        objc_raiseUnrecognizedSelector(id(receiver), selector);
    return method;
}

const std::string* runtime_detail::internEncoding(const std::string& types)
{
    auto& table = registry();
    std::lock_guard lock(table.encodingMutex);
    auto& entry = table.encodings[types];
    if (!entry)
        entry = std::make_unique<std::string>(types);
    return entry.get();
}

void runtime_detail::raiseTypeMismatch(objc_object* receiver, SEL selector, Method method, const std::string& expected)
{
    objc_raiseTypeMismatch(id(receiver), selector, method->types, expected);
}

Method runtime_detail::lookUpMethodOrRaise(const id& receiver, Class start, SEL selector)
{
    Method method = class_getInstanceMethod(start, selector);
    if (!method)
        objc_raiseUnrecognizedSelector(receiver, selector);
    return method;
}

void objc_raiseUnrecognizedSelector(const id& receiver, SEL selector)
{
    throw RuntimeError(fmt::format("{}: unrecognized selector sent to {} {}", describeReceiver(receiver, selector),
        class_isMetaClass(object_getClass(receiver)) ? "class" : "instance", static_cast<const void*>(receiver.get())));
}

void objc_raiseTypeMismatch(const id& receiver, SEL selector, const std::string& expected, const std::string& actual)
{
    throw RuntimeError(fmt::format("{}: the method's type is \"{}\" but it was called as \"{}\"",
        describeReceiver(receiver, selector), expected, actual));
}

id performSelector(const id& object, SEL selector)
{
    if (!object)
        return nil;
    Method method = runtime_detail::lookUpMethodOrRaise(object, object_getClass(object), selector);
    if (method->types == "v@:") {
        runtime_detail::invoke<void>(method, object.get(), selector);
        return nil;
    }
    return runtime_detail::invoke<id>(method, object.get(), selector);
}

// Associated objects --------------------------------------------------------------------

struct AssociatedObjects {
    using List = std::vector<objc_object::Association>;
    static std::vector<objc_object::Association>& of(objc_object* object)
    {
        if (!object->m_associations)
            object->m_associations = new std::vector<objc_object::Association>;
        return *object->m_associations;
    }
    static std::vector<objc_object::Association>* existing(objc_object* object) { return object->m_associations; }
};

void objc_setAssociatedObject(const id& object, const void* key, const id& value, objc_AssociationPolicy policy)
{
    if (!object)
        return;
    id released; // dropped outside the lock: its destructor may touch associations of its own
    {
        std::lock_guard lock(registry().associationMutex);
        auto& associations = AssociatedObjects::of(object.get());
        auto entry = std::find_if(associations.begin(), associations.end(), [&](auto& a) { return a.key == key; });
        if (entry != associations.end()) {
            released = std::move(entry->strongValue);
            associations.erase(entry);
        }
        if (value) {
            bool strong = policy != OBJC_ASSOCIATION_ASSIGN;
            associations.push_back({ key, strong ? value : nil, strong ? nullptr : value.get() });
        }
    }
}

id objc_getAssociatedObject(const id& object, const void* key)
{
    if (!object)
        return nil;
    std::lock_guard lock(registry().associationMutex);
    auto* associations = AssociatedObjects::existing(object.get());
    if (!associations)
        return nil;
    for (auto& entry : *associations) {
        if (entry.key == key)
            return entry.strongValue ? entry.strongValue : id(entry.assignedValue);
    }
    return nil;
}

void objc_removeAssociatedObjects(const id& object)
{
    if (!object)
        return;
    AssociatedObjects::List released;
    std::lock_guard lock(registry().associationMutex);
    if (auto* associations = AssociatedObjects::existing(object.get()))
        released.swap(*associations);
}

// Class declaration -------------------------------------------------------------------

ClassBuilder::ClassBuilder(const char* name, const char* superclassName)
    : ClassBuilder(name, objc_getClass(superclassName))
{
    if (!objc_getClass(superclassName))
        throw RuntimeError(fmt::format("class {} names an unknown superclass {}", name, superclassName));
}

ClassBuilder::ClassBuilder(const char* name, Class superclass)
    : m_class(objc_allocateClassPair(superclass, name))
{
    if (!m_class)
        throw RuntimeError(fmt::format("class {} is already registered", name));
    objc_registerClassPair(m_class);
}

namespace {

Class makeRootClass()
{
    Class root = objc_allocateClassPair(nullptr, "NSObject");
    root->permanent = true;
    objc_registerClassPair(root);
    ClassBuilder::extend(root)
        .classMethod("alloc", [](id self, SEL) -> id { return class_createInstance(static_cast<Class>(self.get())); })
        .classMethod("new", [](id self, SEL) -> id { return send<id>(class_createInstance(static_cast<Class>(self.get())), "init"); })
        .method("init", [](id self, SEL) -> id { return self; })
        .method("class", [](id self, SEL) -> Class { return object_getClass(self); })
        .classMethod("class", [](id self, SEL) -> Class { return static_cast<Class>(self.get()); })
        .method("superclass", [](id self, SEL) -> Class { return class_getSuperclass(object_getClass(self)); })
        .method("respondsToSelector:", [](id self, SEL, SEL selector) -> bool { return respondsToSelector(self, selector); })
        .method("performSelector:", [](id self, SEL, SEL selector) -> id { return performSelector(self, selector); })
        .method("isKindOfClass:", [](id self, SEL, Class cls) -> bool { return class_isSubclassOf(object_getClass(self), cls); })
        .method("isMemberOfClass:", [](id self, SEL, Class cls) -> bool { return object_getClass(self) == cls; })
        .method("isEqual:", [](id self, SEL, id other) -> bool { return self == other; })
        .method("hash", [](id self, SEL) -> unsigned long long { return reinterpret_cast<uintptr_t>(self.get()); });
    return root;
}

} // namespace

Class NSObjectClass()
{
    static Class root = makeRootClass();
    return root;
}

Class blockClass()
{
    static Class cls = [] {
        Class c = objc_allocateClassPair(NSObjectClass(), "NSBlock");
        c->permanent = true;
        objc_registerClassPair(c);
        return c;
    }();
    return cls;
}

// The root classes exist from the moment the runtime is loaded, before any class of the
// platform or of a loaded library is declared.
static const bool rootClassesRegistered = (NSObjectClass(), blockClass(), true);
