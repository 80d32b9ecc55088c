#include "VirtualCallTarget.h"

namespace {

struct TaggedShape final : Shape {
    explicit TaggedShape(long long value) : value(value) { }
    long long value;
    long long tag() const override { return value; }
};

} // namespace

Shape* makeTaggedShape(long long value)
{
    return new TaggedShape(value);
}
