#pragma once
// Helpers shared by the UIKit and SpringBoard stand-ins: reaching the C++ object behind a
// receiver, looking classes up by name (never cached: a test may reset the runtime and
// register the classes anew) and making objects through alloc and init, so that every
// initialiser runs as a message that a replacement can intercept.

#include "Block.h"
#include "CoreGraphics.h"
#include "NSObjectValues.h"

#include <fmt/format.h>
#include <string>

namespace UIKitSupport {

// The class of that name; a missing class is a programming error of the platform (its
// classes were not registered), reported loudly.
inline Class classNamed(const char* name)
{
    Class cls = objc_getClass(name);
    if (!cls)
        throw RuntimeError(fmt::format("class {} is not registered (registerUIKitClasses or registerSpringBoardClasses was not called for it)", name));
    return cls;
}

// The receiver as its C++ type. An object of another type is a platform bug: a method
// was declared on a class whose instances are not of the type it expects.
template<class T>
T& objectAs(const id& self, const char* typeName)
{
    auto* object = dynamic_cast<T*>(self.get());
    if (!object)
        throw RuntimeError(fmt::format("-[{}]: the receiver is not a {} object", object_getClassName(self), typeName));
    return *object;
}

inline id allocInit(const char* className)
{
    return send<id>(send<id>(classNamed(className), "alloc"), "init");
}

inline id allocInitWithFrame(const char* className, CGRect frame)
{
    return send<id>(send<id>(classNamed(className), "alloc"), "initWithFrame:", frame);
}

inline std::string stringValue(const id& value)
{
    auto text = value.as<NSString>();
    return text ? text->utf8() : std::string();
}

// Calls a completion or handler block that may take one argument of type A or none: on
// the device a block that ignores its argument may be declared without it.
template<class A>
void callBlockLeniently(const id& block, A argument)
{
    if (!block)
        return;
    if (auto* withArgument = dynamic_cast<Block<void(CanonicalType<A>)>*>(block.get())) {
        (*withArgument)(CanonicalType<A>(argument));
        return;
    }
    callBlock<void>(block);
}

} // namespace UIKitSupport
