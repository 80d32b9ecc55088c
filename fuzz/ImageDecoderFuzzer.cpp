// The PNG/JPEG reader's entry (the format told by the first bytes, as UIImage does):
// whatever the bytes, a well-formed bitmap within the size limit or a reason.

#include "FuzzTarget.h"

#include "ImageDecoder.h"

#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string why;
    auto bitmap = decodeImage(std::span<const uint8_t>(data, size), &why);
    if (bitmap)
        FUZZ_REQUIRE(bitmap->isWellFormed());
    else
        FUZZ_REQUIRE(!why.empty());
    return 0;
}
