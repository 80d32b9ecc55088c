#pragma once
// printf-style formatting as Foundation does it for NSLog and stringWithFormat:, where
// "%@" renders an object the way -description does (describe()). The arguments are
// typed C++ values, and each conversion is checked against its argument, so a format
// that does not match its arguments is a loud RuntimeError rather than garbage.
//
// Conversions: %@ (an object; nil renders "(null)"), %d %i %u with the length modifiers
// l, ll, q, z (integers and bools), %x %X (integers, hexadecimal), %f (a floating-point
// value, six decimals), %s (a C string or std::string; a null char* renders "(null)"),
// %c (a character) and %% (a percent sign).

#include "NSObjectValues.h"

#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace StringFormat {

// One argument of a format, after conversion from its C++ type.
struct Argument {
    enum class Kind { Object, Signed, Unsigned, Real, Text, Character };
    Kind kind = Kind::Object;
    id object;
    long long signedValue = 0;
    unsigned long long unsignedValue = 0;
    double real = 0;
    std::string text;
    bool nullText = false;
};

template<class T>
Argument toArgument(const T& value)
{
    using Plain = std::remove_cvref_t<T>;
    Argument argument;
    if constexpr (runtime_detail::IsId<Plain>::value) {
        argument.object = value;
    } else if constexpr (std::is_same_v<Plain, std::nullptr_t>) {
        argument.object = nil;
    } else if constexpr (std::is_pointer_v<Plain> && std::is_base_of_v<objc_object, std::remove_cv_t<std::remove_pointer_t<Plain>>>) {
        argument.object = id(const_cast<std::remove_cv_t<std::remove_pointer_t<Plain>>*>(value));
    } else if constexpr (std::is_same_v<Plain, char>) {
        argument.kind = Argument::Kind::Character;
        argument.signedValue = value;
    } else if constexpr (std::is_same_v<Plain, bool> || (std::is_integral_v<Plain> && std::is_signed_v<Plain>) || std::is_enum_v<Plain>) {
        argument.kind = Argument::Kind::Signed;
        argument.signedValue = static_cast<long long>(value);
    } else if constexpr (std::is_integral_v<Plain>) {
        argument.kind = Argument::Kind::Unsigned;
        argument.unsignedValue = static_cast<unsigned long long>(value);
    } else if constexpr (std::is_floating_point_v<Plain>) {
        argument.kind = Argument::Kind::Real;
        argument.real = static_cast<double>(value);
    } else if constexpr (std::is_array_v<Plain>) {
        static_assert(std::is_same_v<std::remove_cv_t<std::remove_extent_t<Plain>>, char>, "only character arrays are text");
        argument.kind = Argument::Kind::Text;
        argument.text = std::string(value);
    } else if constexpr (std::is_same_v<std::decay_t<T>, const char*> || std::is_same_v<std::decay_t<T>, char*>) {
        argument.kind = Argument::Kind::Text;
        argument.nullText = value == nullptr;
        argument.text = value ? value : "";
    } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        argument.kind = Argument::Kind::Text;
        argument.text = std::string(std::string_view(value));
    } else {
        static_assert(sizeof(T) == 0, "a format argument must be an object, a number, a character or a string");
    }
    return argument;
}

// Formats with already converted arguments; raises RuntimeError when the format and the
// arguments do not match (unknown conversion, wrong kind, too few or too many).
std::string formatArguments(std::string_view format, std::span<const Argument> arguments);

template<class... Args>
std::string format(std::string_view format, const Args&... args)
{
    const Argument arguments[] = { toArgument(args)..., Argument {} }; // never empty, even for no arguments
    return formatArguments(format, std::span<const Argument>(arguments, sizeof...(Args)));
}

} // namespace StringFormat

// +[NSString stringWithFormat:].
template<class... Args>
Id<NSString> stringWithFormat(std::string_view format, const Args&... args)
{
    return NSString::string(StringFormat::format(format, args...));
}
