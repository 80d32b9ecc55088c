#include "NSInvocation.h"

#include <cstring>

namespace {

// The signatures invoke() can call: no argument, or one of these types.
bool isInvocableArgumentType(const std::string& type)
{
    return type == "q" || type == "i" || type == "B" || type == "d" || type == "@";
}

template<class T>
T readValue(const void* buffer)
{
    T value;
    std::memcpy(&value, buffer, sizeof value);
    return value;
}

id readObject(const void* buffer)
{
    // An `id` is a single object pointer, so either an Id or a raw pointer may be given.
    // A borrowed Id (a method's receiver) marks its pointer's low bit, which no object
    // pointer has otherwise.
    static_assert(sizeof(id) == sizeof(objc_object*));
    return id(reinterpret_cast<objc_object*>(readValue<uintptr_t>(buffer) & ~uintptr_t(1)));
}

} // namespace

NSInvocation::NSInvocation() : objc_object(cls()) { }

Class NSInvocation::cls()
{
    static Class cls = [] {
        if (Class existing = objc_getClass("NSInvocation"))
            return existing;
        return ClassBuilder("NSInvocation", NSObjectClass()).instancesOf<NSInvocation>().permanent().get();
    }();
    return cls;
}

Id<NSInvocation> NSInvocation::invocationWithMethodSignature(const Id<NSMethodSignature>& signature)
{
    if (!signature)
        throw RuntimeError("+[NSInvocation invocationWithMethodSignature:]: the method signature is nil");
    auto invocation = make<NSInvocation>();
    invocation->m_signature = signature;
    invocation->m_arguments.resize(signature->numberOfArguments() - 2);
    return invocation;
}

void NSInvocation::setArgument(const void* buffer, NSInteger index)
{
    if (!buffer)
        throw RuntimeError(fmt::format("NSInvocation \"{}\": argument {} set from a null buffer", m_signature->types(), index));
    if (index < 0 || static_cast<NSUInteger>(index) >= m_signature->numberOfArguments())
        throw RuntimeError(fmt::format("NSInvocation \"{}\": no argument at index {}", m_signature->types(), index));
    if (index == 0) {
        m_target = readObject(buffer);
        return;
    }
    if (index == 1) {
        m_selector = readValue<SEL>(buffer);
        return;
    }
    const std::string& type = m_signature->argumentTypeAtIndex(static_cast<NSUInteger>(index));
    Value& slot = m_arguments[static_cast<size_t>(index) - 2];
    if (type == "q")
        slot = readValue<long long>(buffer);
    else if (type == "i")
        slot = readValue<int>(buffer);
    else if (type == "B")
        slot = readValue<bool>(buffer);
    else if (type == "d")
        slot = readValue<double>(buffer);
    else if (type == "@")
        slot = readObject(buffer);
    else
        throw RuntimeError(fmt::format("NSInvocation \"{}\": cannot hold argument {} of type {}", m_signature->types(), index, type));
}

void NSInvocation::checkCanInvoke(const id& target) const
{
    if (!m_selector)
        throw RuntimeError(fmt::format("NSInvocation \"{}\": invoked without a selector", m_signature->types()));
    bool invocable = m_signature->methodReturnType() == "v"
        && (m_arguments.empty() || (m_arguments.size() == 1 && isInvocableArgumentType(m_signature->argumentTypeAtIndex(2))));
    if (!invocable)
        throw RuntimeError(fmt::format("NSInvocation cannot invoke -{} of type \"{}\": only void methods of no argument "
                                       "or of one q, i, B, d or @ argument",
            sel_getName(m_selector), m_signature->types()));
    Method method = class_getInstanceMethod(object_getClass(target), m_selector);
    if (!method)
        objc_raiseUnrecognizedSelector(target, m_selector);
    if (method->types != m_signature->types())
        objc_raiseTypeMismatch(target, m_selector, method->types, m_signature->types());
    for (size_t i = 0; i < m_arguments.size(); ++i) {
        if (std::holds_alternative<std::monostate>(m_arguments[i]))
            throw RuntimeError(fmt::format("NSInvocation -{}: argument {} was never set", sel_getName(m_selector), i + 2));
    }
}

void NSInvocation::invoke() { invokeWithTarget(m_target); }

void NSInvocation::invokeWithTarget(const id& target)
{
    if (!target)
        return;
    checkCanInvoke(target);
    Id<NSInvocation> keepAlive(this); // the method may drop the last other reference
    if (m_arguments.empty()) {
        send<void>(target, m_selector);
        return;
    }
    std::visit(
        [&](const auto& value) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(value)>, std::monostate>)
                send<void>(target, m_selector, value);
        },
        m_arguments.front());
}

void registerNSInvocationClass()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    ClassBuilder::extend(NSInvocation::cls())
        .classMethod("invocationWithMethodSignature:", [](id, SEL, id signature) -> id {
            return NSInvocation::invocationWithMethodSignature(signature.as<NSMethodSignature>());
        })
        .method("methodSignature", [](id self, SEL) -> id { return self.as<NSInvocation>()->methodSignature(); })
        .method("setTarget:", [](id self, SEL, id target) { self.as<NSInvocation>()->setTarget(target); })
        .method("target", [](id self, SEL) -> id { return self.as<NSInvocation>()->target(); })
        .method("setSelector:", [](id self, SEL, SEL selector) { self.as<NSInvocation>()->setSelector(selector); })
        .method("selector", [](id self, SEL) -> SEL { return self.as<NSInvocation>()->selector(); })
        .method("setArgument:atIndex:", [](id self, SEL, void* buffer, long long index) {
            self.as<NSInvocation>()->setArgument(static_cast<const void*>(buffer), index);
        })
        .method("invoke", [](id self, SEL) { self.as<NSInvocation>()->invoke(); })
        .method("invokeWithTarget:", [](id self, SEL, id target) { self.as<NSInvocation>()->invokeWithTarget(target); });
}

static const bool invocationClassRegistered = (registerNSInvocationClass(), true);
