#pragma once
// Typed message send. The call site names the result type and passes the arguments;
// their canonical encoding must equal the method's own, or RuntimeError is raised
// instead of calling through a function pointer of the wrong type. A message to nil
// answers zero, NO or nil and runs nothing.

#include "Runtime.h"

namespace runtime_detail {

template<class T>
id toReceiver(const Id<T>& object) { return object; }
inline id toReceiver(Class cls) { return id(cls); }
template<class T, class = std::enable_if_t<std::is_base_of_v<objc_object, T>>>
id toReceiver(T* object) { return id(object); }
inline id toReceiver(std::nullptr_t) { return nil; }

Method lookUpMethodOrRaise(const id& receiver, Class start, SEL);

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

template<class R, class... Args>
R invoke(Method method, const id& self, SEL selector, Args&&... args)
{
    static const std::string expected = methodEncoding<R, Args...>();
    if (method->types != expected)
        objc_raiseTypeMismatch(self, selector, method->types, expected);
    using Function = CanonicalType<R> (*)(id, SEL, CanonicalType<Args>...);
    auto function = reinterpret_cast<Function>(method->imp);
    if constexpr (std::is_void_v<R>)
        function(self, selector, CanonicalType<Args>(std::forward<Args>(args))...);
    else
        return fromCanonical<R>(function(self, selector, CanonicalType<Args>(std::forward<Args>(args))...), self, selector);
}

} // namespace runtime_detail

template<class R = void, class Receiver, class... Args>
R send(const Receiver& receiver, SEL selector, Args&&... args)
{
    id self = runtime_detail::toReceiver(receiver);
    if (!self)
        return runtime_detail::zeroValue<R>();
    Method method = runtime_detail::lookUpMethodOrRaise(self, object_getClass(self), selector);
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
    Method method = runtime_detail::lookUpMethodOrRaise(self, start, selectorId);
    return runtime_detail::invoke<R>(method, self, selectorId, std::forward<Args>(args)...);
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
        function(self, selector, CanonicalType<Args>(std::forward<Args>(args))...);
    else
        return runtime_detail::fromCanonical<R>(function(self, selector, CanonicalType<Args>(std::forward<Args>(args))...), self, selector);
}

inline bool respondsToSelector(const id& object, SEL selector)
{
    return object && class_respondsToSelector(object_getClass(object), selector);
}
inline bool respondsToSelector(const id& object, const char* selector) { return respondsToSelector(object, sel(selector)); }

// -performSelector: for a method that takes no argument and answers an object or nothing.
id performSelector(const id& object, SEL selector);
