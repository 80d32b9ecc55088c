#pragma once
// NSMethodSignature: a method's types, split from its type encoding ("v@:q" answers the
// return type "v" and the argument types "@", ":", "q"; argument 0 is the receiver and
// argument 1 the selector). `-[NSObject methodSignatureForSelector:]` answers the
// signature of the receiver's method, or nil when it has none.

#include "NSObjectValues.h"

#include <string>
#include <string_view>
#include <vector>

class NSMethodSignature : public objc_object {
public:
    NSMethodSignature();
    static Class cls();
    // Nil when the encoding is not a well-formed list of types with at least the receiver
    // and the selector.
    static Id<NSMethodSignature> signatureWithObjCTypes(std::string_view types);
    // The signature of the receiver's method for the selector, or nil.
    static Id<NSMethodSignature> signatureForSelector(const id& receiver, SEL selector);

    const std::string& types() const { return m_types; }
    const std::string& methodReturnType() const { return m_returnType; }
    NSUInteger numberOfArguments() const { return m_argumentTypes.size(); }
    // RuntimeError past the last argument.
    const std::string& argumentTypeAtIndex(NSUInteger index) const;

private:
    std::string m_types;
    std::string m_returnType;
    std::vector<std::string> m_argumentTypes;
};

// The types of an encoding, one string each ("{NSOperatingSystemVersion=qqq}" is one
// type, "^v" one); empty when the encoding is malformed.
std::vector<std::string> splitTypeEncoding(std::string_view types);

void registerNSMethodSignatureClass();
