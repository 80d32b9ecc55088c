#include "CPBitmapImages.h"

#include "CPBitmap.h"

Id<NSArray> CPBitmapCreateImagesFromData(const Id<NSData>& data, void*, int, void*)
{
    if (!data)
        return nullptr;
    std::vector<id> images;
    for (Bitmap& bitmap : decodeCPBitmap(data->bytes()))
        images.push_back(CGImage::create(std::move(bitmap)));
    return NSArray::array(std::move(images));
}
