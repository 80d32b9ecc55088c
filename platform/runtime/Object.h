#pragma once
// The object model of the stand-in runtime: every object, class included, is an
// objc_object with an isa pointer and an intrusive reference count. Id<T> is the
// strong reference that every API passes around; `id` is Id<objc_object>.

#include <atomic>
#include <cstddef>
#include <utility>
#include <vector>

struct objc_class;
using Class = objc_class*;

class objc_object {
public:
    explicit objc_object(Class isa = nullptr) : m_isa(isa) { }
    objc_object(const objc_object&) = delete;
    objc_object& operator=(const objc_object&) = delete;
    virtual ~objc_object();

    Class isa() const { return m_isa; }
    void setIsa(Class isa) { m_isa = isa; }

    void retain() const
    {
        if (!m_immortal)
            m_refCount.fetch_add(1, std::memory_order_relaxed);
    }
    void release() const
    {
        if (!m_immortal && m_refCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }
    long retainCount() const { return m_refCount.load(); }
    // Classes and other process-lifetime objects are never freed.
    void makeImmortal() { m_immortal = true; }

private:
    friend struct AssociatedObjects;
    Class m_isa;
    mutable std::atomic<long> m_refCount { 0 };
    bool m_immortal { false };
    struct Association;
    std::vector<Association>* m_associations { nullptr };
};

template<class T>
class Id {
public:
    Id() = default;
    Id(std::nullptr_t) { }
    Id(T* ptr) : m_ptr(ptr) { retainPtr(); }
    Id(const Id& other) : m_ptr(other.m_ptr) { retainPtr(); }
    Id(Id&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) { }
    template<class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Id(const Id<U>& other) : m_ptr(other.get()) { retainPtr(); }
    ~Id() { releasePtr(); }

    Id& operator=(Id other) noexcept
    {
        std::swap(m_ptr, other.m_ptr);
        return *this;
    }

    T* get() const { return m_ptr; }
    T* operator->() const { return m_ptr; }
    T& operator*() const { return *m_ptr; }
    explicit operator bool() const { return m_ptr; }
    bool operator!() const { return !m_ptr; }

    // Downcast to a C++ type; nil when the object is of another type.
    template<class U>
    Id<U> as() const { return Id<U>(dynamic_cast<U*>(m_ptr)); }

    template<class U>
    bool operator==(const Id<U>& other) const { return static_cast<const void*>(m_ptr) == static_cast<const void*>(other.get()); }
    bool operator==(std::nullptr_t) const { return !m_ptr; }

private:
    void retainPtr() const
    {
        if (m_ptr)
            m_ptr->retain();
    }
    void releasePtr() const
    {
        if (m_ptr)
            m_ptr->release();
    }
    T* m_ptr { nullptr };
};

using id = Id<objc_object>;
inline const id nil;

// Makes a new object of a C++ type; the object lives as long as some Id holds it.
template<class T, class... Args>
Id<T> make(Args&&... args)
{
    return Id<T>(new T(std::forward<Args>(args)...));
}

template<class T>
struct std::hash<Id<T>> {
    size_t operator()(const Id<T>& ref) const { return std::hash<const void*>()(ref.get()); }
};
