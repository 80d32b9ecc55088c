#include "NSMethodSignature.h"

#include <fmt/format.h>

namespace {

// The length of the one type that starts `types`, or 0 when it is malformed.
size_t lengthOfFirstType(std::string_view types)
{
    if (types.empty())
        return 0;
    char first = types.front();
    if (first == '^') {
        size_t pointee = lengthOfFirstType(types.substr(1));
        return pointee ? pointee + 1 : 0;
    }
    if (first == '{' || first == '(' || first == '[') {
        char close = first == '{' ? '}' : first == '(' ? ')' : ']';
        int depth = 0;
        for (size_t i = 0; i < types.size(); ++i) {
            if (types[i] == '{' || types[i] == '(' || types[i] == '[')
                ++depth;
            else if (types[i] == '}' || types[i] == ')' || types[i] == ']') {
                if (--depth == 0)
                    return types[i] == close ? i + 1 : 0;
            }
        }
        return 0;
    }
    if (std::string_view("cislqCISLQfdBv*@#:?").find(first) == std::string_view::npos)
        return 0;
    return 1;
}

} // namespace

std::vector<std::string> splitTypeEncoding(std::string_view types)
{
    std::vector<std::string> result;
    while (!types.empty()) {
        size_t length = lengthOfFirstType(types);
        if (!length)
            return {};
        result.emplace_back(types.substr(0, length));
        types.remove_prefix(length);
    }
    return result;
}

NSMethodSignature::NSMethodSignature() : objc_object(cls()) { }

Class NSMethodSignature::cls()
{
    static Class cls = [] {
        if (Class existing = objc_getClass("NSMethodSignature"))
            return existing;
        return ClassBuilder("NSMethodSignature", NSObjectClass()).instancesOf<NSMethodSignature>().permanent().get();
    }();
    return cls;
}

Id<NSMethodSignature> NSMethodSignature::signatureWithObjCTypes(std::string_view types)
{
    auto parts = splitTypeEncoding(types);
    if (parts.size() < 3 || parts[1] != "@" || parts[2] != ":")
        return nullptr;
    auto signature = make<NSMethodSignature>();
    signature->m_types = std::string(types);
    signature->m_returnType = parts.front();
    signature->m_argumentTypes.assign(parts.begin() + 1, parts.end());
    return signature;
}

Id<NSMethodSignature> NSMethodSignature::signatureForSelector(const id& receiver, SEL selector)
{
    if (!receiver || !selector)
        return nullptr;
    Method method = class_getInstanceMethod(object_getClass(receiver), selector);
    return method ? signatureWithObjCTypes(method_getTypeEncoding(method)) : nullptr;
}

const std::string& NSMethodSignature::argumentTypeAtIndex(NSUInteger index) const
{
    if (index >= m_argumentTypes.size())
        throw RuntimeError(fmt::format("NSMethodSignature \"{}\": no argument at index {} (it has {})", m_types, index, m_argumentTypes.size()));
    return m_argumentTypes[index];
}

void registerNSMethodSignatureClass()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    ClassBuilder::extend(NSMethodSignature::cls())
        .method("numberOfArguments", [](id self, SEL) -> unsigned long long { return self.as<NSMethodSignature>()->numberOfArguments(); })
        .method("methodReturnType", [](id self, SEL) -> const char* { return self.as<NSMethodSignature>()->methodReturnType().c_str(); })
        .method("getArgumentTypeAtIndex:", [](id self, SEL, unsigned long long index) -> const char* {
            return self.as<NSMethodSignature>()->argumentTypeAtIndex(index).c_str();
        });
    // On the root class, so that every object (and, through the root metaclass, every
    // class) answers it.
    ClassBuilder::extend(NSObjectClass())
        .method("methodSignatureForSelector:", [](id self, SEL, SEL selector) -> id {
            return NSMethodSignature::signatureForSelector(self, selector);
        });
}

static const bool methodSignatureClassRegistered = (registerNSMethodSignatureClass(), true);
