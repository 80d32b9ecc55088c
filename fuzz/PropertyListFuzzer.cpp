// The property-list reader (XML and binary, through libplist): whatever the bytes, a
// value or nil, never a crash, a hang or unbounded memory; a value read back is written
// and read again in both formats.

#include "FuzzTarget.h"

#include "PropertyList.h"

#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    id value = PropertyList::read(std::span<const uint8_t>(data, size));
    if (!value)
        return 0;
    for (auto format : { PropertyList::Format::XML, PropertyList::Format::Binary }) {
        auto bytes = PropertyList::serialize(value, format);
        if (!bytes.empty())
            FUZZ_REQUIRE(PropertyList::read(bytes));
    }
    return 0;
}
