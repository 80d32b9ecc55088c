#pragma once
// Typed message send. The call site names the result type and passes the arguments;
// their canonical encoding must equal the method's own, or RuntimeError is raised
// instead of calling through a function pointer of the wrong type. A message to nil
// answers zero, NO or nil and runs nothing.

#include "Runtime.h"

namespace runtime_detail {

// The receiver as a plain pointer: the caller holds it for the whole send.
template<class T>
objc_object* receiverPointer(const Id<T>& object) { return object.get(); }
inline objc_object* receiverPointer(Class cls) { return cls; }
template<class T, class = std::enable_if_t<std::is_base_of_v<objc_object, T>>>
objc_object* receiverPointer(T* object) { return object; }
inline objc_object* receiverPointer(std::nullptr_t) { return nullptr; }

Method lookUpMethodOrRaise(const id& receiver, Class start, SEL);
// Fills the class's cache; raises when no method answers the selector.
Method lookUpAndCacheOrRaise(objc_object* receiver, Class start, SEL);
// The interned copy of an encoding (see objc_method::encoding).
const std::string* internEncoding(const std::string& types);
[[noreturn]] void raiseTypeMismatch(objc_object* receiver, SEL, Method, const std::string& expected);

// The method the class's cache holds for the selector, or null.
inline Method cachedMethod(Class cls, SEL selector)
{
    const MethodCache* cache = cls->methodCache.load(std::memory_order_acquire);
    if (!cache || cache->generation != methodCacheGeneration.load(std::memory_order_acquire))
        return nullptr;
    for (size_t slot = selectorSlot(selector, cache->mask);; slot = (slot + 1) & cache->mask) {
        SEL found = cache->entries[slot].selector.load(std::memory_order_acquire);
        if (found == selector)
            return cache->entries[slot].method;
        if (!found)
            return nullptr;
    }
}

inline Method findMethodOrRaise(objc_object* receiver, Class start, SEL selector)
{
    if (Method method = cachedMethod(start, selector))
        return method;
    return lookUpAndCacheOrRaise(receiver, start, selector);
}

template<class R>
R zeroValue()
{
    if constexpr (!std::is_void_v<R>)
        return R {};
}

template<class R>
R fromCanonical(CanonicalType<R>&& value, const id& receiver, SEL selector)
{
    if constexpr (IsId<R>::value && !std::is_same_v<R, id>) {
        if (!value)
            return R {};
        R result = value.template as<typename std::remove_pointer_t<decltype(std::declval<R>().get())>>();
        if (!result)
            objc_raiseTypeMismatch(receiver, selector, "an object of the expected class", object_getClassName(value));
        return result;
    } else {
        return std::move(value);
    }
}

// What a method receives for a call site's argument: object references are lent for the
// call (the caller holds them until the send returns), other values converted.
template<class Arg>
CanonicalType<Arg> passArgument(Arg&& argument)
{
    using Plain = std::decay_t<Arg>;
    if constexpr (IsId<Plain>::value)
        return id::borrow(argument.get());
    else if constexpr (isObjectPointer<Plain>)
        return id::borrow(argument);
    else
        return CanonicalType<Arg>(std::forward<Arg>(argument));
}

// Calls the method after checking that it was defined with the call site's types. Each
// call site's encoding is interned once, so the check is one pointer comparison and
// exactly as strict as comparing the strings.
template<class R, class... Args>
R invoke(Method method, objc_object* self, SEL selector, Args&&... args)
{
    static const std::string* const expected = internEncoding(methodEncoding<R, Args...>());
    if (method->encoding != expected) [[unlikely]]
        raiseTypeMismatch(self, selector, method, *expected);
    using Function = CanonicalType<R> (*)(id, SEL, CanonicalType<Args>...);
    auto function = reinterpret_cast<Function>(method->imp);
    if constexpr (std::is_void_v<R>)
        function(id::borrow(self), selector, passArgument<Args>(std::forward<Args>(args))...);
    else if constexpr (IsId<R>::value && !std::is_same_v<R, id>)
        return fromCanonical<R>(function(id::borrow(self), selector, passArgument<Args>(std::forward<Args>(args))...), id::borrow(self), selector);
    else
        return function(id::borrow(self), selector, passArgument<Args>(std::forward<Args>(args))...);
}

} // namespace runtime_detail

// Sends a message. Call sites that send often keep the selector (`static const SEL`) so
// that it is interned once rather than at every send.
template<class R = void, class Receiver, class... Args>
R send(const Receiver& receiver, SEL selector, Args&&... args)
{
    objc_object* self = runtime_detail::receiverPointer(receiver);
    if (!self)
        return runtime_detail::zeroValue<R>();
    Method method = runtime_detail::findMethodOrRaise(self, self->isa(), selector);
    return runtime_detail::invoke<R>(method, self, selector, std::forward<Args>(args)...);
}

template<class R = void, class Receiver, class... Args>
R send(const Receiver& receiver, const char* selector, Args&&... args)
{
    return send<R>(receiver, sel(selector), std::forward<Args>(args)...);
}

// [super selector]: starts the lookup at the superclass of `currentClass`, the class whose
// method is making the call.
template<class R = void, class... Args>
R sendSuper(Class currentClass, const id& self, const char* selector, Args&&... args)
{
    if (!self)
        return runtime_detail::zeroValue<R>();
    SEL selectorId = sel(selector);
    Class start = class_isMetaClass(object_getClass(self)) ? object_getClass(id(class_getSuperclass(currentClass))) : class_getSuperclass(currentClass);
    Method method = runtime_detail::findMethodOrRaise(self.get(), start, selectorId);
    return runtime_detail::invoke<R>(method, self.get(), selectorId, std::forward<Args>(args)...);
}

// Calls a previous implementation kept in a slot, as a replacement does with its original.
// An empty slot answers zero.
template<class R = void, class... Args>
R callOriginal(IMP original, const id& self, SEL selector, Args&&... args)
{
    if (!original)
        return runtime_detail::zeroValue<R>();
    using Function = CanonicalType<R> (*)(id, SEL, CanonicalType<Args>...);
    auto function = reinterpret_cast<Function>(original);
    if constexpr (std::is_void_v<R>)
        function(id::borrow(self.get()), selector, runtime_detail::passArgument<Args>(std::forward<Args>(args))...);
    else
        return runtime_detail::fromCanonical<R>(
            function(id::borrow(self.get()), selector, runtime_detail::passArgument<Args>(std::forward<Args>(args))...), self, selector);
}

inline bool respondsToSelector(const id& object, SEL selector)
{
    return object && class_respondsToSelector(object_getClass(object), selector);
}
inline bool respondsToSelector(const id& object, const char* selector) { return respondsToSelector(object, sel(selector)); }

// -performSelector: for a method that takes no argument and answers an object or nothing.
id performSelector(const id& object, SEL selector);
