#pragma once
// The object model of the stand-in runtime: every object, class included, is an
// objc_object with an isa pointer and an intrusive reference count. Id<T> is the
// strong reference that every API passes around; `id` is Id<objc_object>.

#include <atomic>
#include <cstddef>
#include <cstdint>
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

// An Id either owns a reference (retained when made, released when dropped) or borrows
// one: a message send lends its receiver and object arguments to the method, since the
// caller holds them for the whole call, so that a send copies no reference and touches no
// reference count. Copying or moving a borrowed Id makes an owning one, so nothing that
// outlives the call can keep a borrowed reference. The two kinds differ only in the low
// bit of the stored pointer (objects are aligned to more than one byte).
template<class T>
class Id {
public:
    Id() = default;
    Id(std::nullptr_t) { }
    Id(T* ptr) : m_bits(reinterpret_cast<uintptr_t>(ptr)) { retainPtr(); }
    Id(const Id& other) : m_bits(other.ownedBits()) { retainPtr(); }
    Id(Id&& other) noexcept : m_bits(std::exchange(other.m_bits, 0))
    {
        if (m_bits & kBorrowed) {
            m_bits &= ~kBorrowed;
            retainPtr();
        }
    }
    template<class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Id(const Id<U>& other) : m_bits(reinterpret_cast<uintptr_t>(static_cast<T*>(other.get()))) { retainPtr(); }
    ~Id() { releasePtr(); }

    // A reference to an object that the caller keeps alive for as long as this Id lives.
    static Id borrow(T* ptr)
    {
        Id result;
        result.m_bits = ptr ? reinterpret_cast<uintptr_t>(ptr) | kBorrowed : 0;
        return result;
    }

    Id& operator=(Id other) noexcept
    {
        std::swap(m_bits, other.m_bits);
        return *this;
    }

    T* get() const { return reinterpret_cast<T*>(m_bits & ~kBorrowed); }
    T* operator->() const { return get(); }
    T& operator*() const { return *get(); }
    explicit operator bool() const { return m_bits; }
    bool operator!() const { return !m_bits; }

    // Downcast to a C++ type; nil when the object is of another type.
    template<class U>
    Id<U> as() const { return Id<U>(dynamic_cast<U*>(get())); }

    template<class U>
    bool operator==(const Id<U>& other) const { return static_cast<const void*>(get()) == static_cast<const void*>(other.get()); }
    bool operator==(std::nullptr_t) const { return !m_bits; }

private:
    static constexpr uintptr_t kBorrowed = 1;
    uintptr_t ownedBits() const { return m_bits & ~kBorrowed; }
    void retainPtr() const
    {
        if (m_bits)
            get()->retain();
    }
    void releasePtr() const
    {
        if (m_bits && !(m_bits & kBorrowed))
            get()->release();
    }
    uintptr_t m_bits { 0 };
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
