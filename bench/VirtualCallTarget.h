#pragma once
// The C++ virtual call the message send is compared with. The derived class and its
// method live in their own file, so that where the call is made the compiler knows neither
// the object's class nor the method's body: it cannot devirtualise the call (GCC does so,
// and inlines the body, whenever it can prove which class an object is, as it can for a
// class of an anonymous namespace created in the same function) and the loop times a real
// call through the object's table of virtual functions.

struct Shape {
    virtual ~Shape() = default;
    virtual long long tag() const = 0;
};

// A Shape whose tag() answers a stored value, as the benchmark view's "tag" method does.
Shape* makeTaggedShape(long long value);
