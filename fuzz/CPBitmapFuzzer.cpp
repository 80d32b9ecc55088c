// SpringBoard's wallpaper bitmap decoder: whatever the bytes, images that are well formed
// or none, never an allocation the file's own size does not justify.

#include "FuzzTarget.h"

#include "CPBitmap.h"

#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string why;
    for (const Bitmap& image : decodeCPBitmap(std::span<const uint8_t>(data, size), &why))
        FUZZ_REQUIRE(image.isWellFormed());
    return 0;
}
