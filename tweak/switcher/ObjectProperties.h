#pragma once
// Retained, non-atomic object properties of the library's own view classes: a getter and
// a setter method over a member of the class's instances, as @property declares them.

#include "ClassBuilder.h"

template<class T, id T::*Member>
void declareObjectProperty(ClassBuilder& builder, const char* getter, const char* setter)
{
    builder.method(getter, [](id self, SEL) -> id { return self.as<T>().get()->*Member; });
    builder.method(setter, [](id self, SEL, id value) { self.as<T>().get()->*Member = value; });
}
