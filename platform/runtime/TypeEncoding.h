#pragma once
// Type encodings in the runtime's notation ("v@:@"), derived from C++ types so that a
// method's declared encoding and a call site's argument types can be compared.
//
// Every C++ type a method may take or return has exactly one canonical type with one
// encoding: object references of any class are `id` ('@'), so that a call through a
// function pointer always uses the very signature the method was defined with.

#include "Object.h"

#include <cstdint>
#include <string>
#include <type_traits>

struct objc_selector;
using SEL = const objc_selector*;
using BOOL = bool;
using NSInteger = long long;
using NSUInteger = unsigned long long;
inline constexpr BOOL YES = true;
inline constexpr BOOL NO = false;

// Specialise ObjCType<T> for further value types (structs) with a static `encoding`.
template<class T>
struct ObjCType;

template<> struct ObjCType<void> { static constexpr const char* encoding = "v"; };
template<> struct ObjCType<id> { static constexpr const char* encoding = "@"; };
template<> struct ObjCType<Class> { static constexpr const char* encoding = "#"; };
template<> struct ObjCType<SEL> { static constexpr const char* encoding = ":"; };
template<> struct ObjCType<bool> { static constexpr const char* encoding = "B"; };
template<> struct ObjCType<char> { static constexpr const char* encoding = "c"; };
template<> struct ObjCType<int> { static constexpr const char* encoding = "i"; };
template<> struct ObjCType<unsigned> { static constexpr const char* encoding = "I"; };
template<> struct ObjCType<long long> { static constexpr const char* encoding = "q"; };
template<> struct ObjCType<unsigned long long> { static constexpr const char* encoding = "Q"; };
template<> struct ObjCType<float> { static constexpr const char* encoding = "f"; };
template<> struct ObjCType<double> { static constexpr const char* encoding = "d"; };
template<> struct ObjCType<const char*> { static constexpr const char* encoding = "*"; };
template<> struct ObjCType<void*> { static constexpr const char* encoding = "^v"; };
template<> struct ObjCType<id*> { static constexpr const char* encoding = "^@"; };
template<> struct ObjCType<bool*> { static constexpr const char* encoding = "^B"; };

namespace runtime_detail {

template<class T>
struct IsId : std::false_type { };
template<class T>
struct IsId<Id<T>> : std::true_type { };

template<class T>
constexpr bool isObjectPointer = std::is_pointer_v<T> && std::is_base_of_v<objc_object, std::remove_cv_t<std::remove_pointer_t<T>>>
    && !std::is_same_v<std::remove_cv_t<T>, Class>;

template<class T>
struct Canonical {
    using type = T;
};
template<class T>
struct Canonical<Id<T>> {
    using type = id;
};
template<>
struct Canonical<long> {
    using type = long long;
};
template<>
struct Canonical<unsigned long> {
    using type = unsigned long long;
};
template<>
struct Canonical<std::nullptr_t> {
    using type = id;
};

} // namespace runtime_detail

// The canonical type of T: what a method of the runtime receives for an argument of type T.
template<class T>
using CanonicalType = typename std::conditional_t<runtime_detail::isObjectPointer<std::decay_t<T>>,
    std::type_identity<id>,
    runtime_detail::Canonical<std::decay_t<T>>>::type;

template<class T>
std::string encodingOf() { return ObjCType<CanonicalType<T>>::encoding; }
template<>
inline std::string encodingOf<void>() { return "v"; }

// The encoding of a method returning R and taking Args after the receiver and selector.
template<class R, class... Args>
std::string methodEncoding()
{
    std::string result = encodingOf<R>() + "@:";
    ((result += encodingOf<Args>()), ...);
    return result;
}
