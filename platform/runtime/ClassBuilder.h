#pragma once
// Declares a class of the platform in code: its name, superclass, the C++ type of its
// instances and its methods, each a plain function (or captureless lambda) taking the
// receiver and selector first, as an IMP does. The encoding of each method is derived
// from the function's own type, so it always matches what the function really takes.

#include "MessageSend.h"

namespace runtime_detail {

template<class F>
struct MethodFunction : MethodFunction<decltype(+std::declval<F>())> { };

template<class R, class Self, class... Args>
struct MethodFunction<R (*)(Self, SEL, Args...)> {
    static_assert(std::is_same_v<Self, id>, "a method's receiver is taken as id");
    static_assert((std::is_same_v<Args, CanonicalType<Args>> && ...),
        "a method takes canonical types: id for every object, long long for NSInteger");
    static_assert(std::is_void_v<R> || std::is_same_v<R, CanonicalType<R>>, "a method answers a canonical type");
    using Pointer = R (*)(Self, SEL, Args...);
    static std::string encoding() { return methodEncoding<R, Args...>(); }
};

void addPlatformMethod(Class, SEL, IMP, const std::string& types);

} // namespace runtime_detail

class ClassBuilder {
public:
    // Registers the class; a superclass name that is not registered is a programming error.
    ClassBuilder(const char* name, const char* superclassName);
    ClassBuilder(const char* name, Class superclass);
    // Adds methods to a class that exists already (a category).
    static ClassBuilder extend(Class cls) { return ClassBuilder(cls); }

    // Instances of this class (and of subclasses that name no type of their own) are T.
    template<class T>
    ClassBuilder& instancesOf()
    {
        m_class->allocator = [](Class cls) -> objc_object* {
            auto* object = new T();
            object->setIsa(cls);
            return object;
        };
        return *this;
    }

    template<class F>
    ClassBuilder& method(const char* selector, F function)
    {
        add(m_class, selector, function);
        return *this;
    }

    template<class F>
    ClassBuilder& classMethod(const char* selector, F function)
    {
        add(object_getClass(id(m_class)), selector, function);
        return *this;
    }

    // Core classes that stay registered across objc_resetRuntimeForTesting.
    ClassBuilder& permanent()
    {
        m_class->permanent = true;
        return *this;
    }

    Class get() const { return m_class; }
    operator Class() const { return m_class; }

private:
    explicit ClassBuilder(Class cls) : m_class(cls) { }

    template<class F>
    static void add(Class cls, const char* selector, F function)
    {
        using Traits = runtime_detail::MethodFunction<F>;
        typename Traits::Pointer pointer = function;
        runtime_detail::addPlatformMethod(cls, sel(selector), reinterpret_cast<IMP>(pointer), Traits::encoding());
    }

    Class m_class;
};

// The root class: alloc, new, init, class, superclass, respondsToSelector:,
// performSelector:, isKindOfClass:, isMemberOfClass:, isEqual:, hash.
Class NSObjectClass();
