#pragma once
// NSInvocation: a message built at run time from a method signature, then sent. It
// invokes the signatures the product uses: a void method with no argument, or with one
// argument of type q (long long), i (int), B (bool), d (double) or @ (an object).
// Anything else is a loud RuntimeError, never a call through a function of the wrong
// type: setting an argument of a type it cannot hold, setting one from a C++ value of
// another type, an index past the signature, invoking with an argument not set, or on a
// target whose method for the selector has another signature.
//
// Arguments are numbered as on the device: 0 the target, 1 the selector, 2 the first
// argument after them. Object arguments and the target are retained.

#include "NSMethodSignature.h"

#include <fmt/format.h>
#include <optional>
#include <variant>

class NSInvocation : public objc_object {
public:
    NSInvocation();
    static Class cls();
    // A nil signature is refused (RuntimeError), as on the device.
    static Id<NSInvocation> invocationWithMethodSignature(const Id<NSMethodSignature>& signature);

    const Id<NSMethodSignature>& methodSignature() const { return m_signature; }
    void setTarget(const id& target) { m_target = target; }
    const id& target() const { return m_target; }
    void setSelector(SEL selector) { m_selector = selector; }
    SEL selector() const { return m_selector; }

    // -setArgument:atIndex: — copies the value at `buffer`, read as the signature's type
    // at `index` (an object argument is read as an object pointer, which an `id` holds).
    void setArgument(const void* buffer, NSInteger index);
    // The same from a typed C++ value, whose encoding must be the signature's at `index`.
    template<class T>
    void setArgument(const T* value, NSInteger index)
    {
        if (index >= 0) {
            std::string given = encodingOf<T>();
            const std::string& expected = m_signature->argumentTypeAtIndex(static_cast<NSUInteger>(index));
            if (given != expected)
                throw RuntimeError(fmt::format("NSInvocation \"{}\": argument {} is of type {} but was set from a value of type {}",
                    m_signature->types(), index, expected, given));
        }
        setArgument(static_cast<const void*>(value), index);
    }

    // Sends the message; a nil target does nothing, as a message to nil.
    void invoke();
    void invokeWithTarget(const id& target);

private:
    using Value = std::variant<std::monostate, long long, int, bool, double, id>;

    void checkCanInvoke(const id& target) const;

    Id<NSMethodSignature> m_signature;
    id m_target;
    SEL m_selector = nullptr;
    std::vector<Value> m_arguments; // from index 2
};

void registerNSInvocationClass();
