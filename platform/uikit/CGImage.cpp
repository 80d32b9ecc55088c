#include "CGImage.h"

#include "ImageDecoder.h"
#include "ImageHeader.h"

CGImage::CGImage()
    : objc_object(cls())
{
}

CGImage::CGImage(Bitmap bitmap)
    : objc_object(cls())
    , m_bitmap(std::move(bitmap))
    , m_width(m_bitmap.width)
    , m_height(m_bitmap.height)
{
    std::call_once(m_decoded, [] {});
}

Class CGImage::cls()
{
    static Class registered = [] {
        ClassBuilder builder("CGImage", "NSObject");
        builder.instancesOf<CGImage>().permanent();
        return builder.get();
    }();
    return registered;
}

Id<CGImage> CGImage::create(Bitmap bitmap)
{
    requireWellFormed(bitmap, "CGImage");
    return make<CGImage>(std::move(bitmap));
}

Id<CGImage> CGImage::createDecodingLater(const Id<NSData>& encoded)
{
    // The chunks' checksums are left to the decode: checking them here would read every byte
    // of a picture that may never be drawn.
    auto header = encoded ? readImageHeader(encoded->bytes(), nullptr, PNGChunkCheck::layout) : std::nullopt;
    if (!header)
        return nullptr;
    auto image = make<CGImage>();
    image->m_width = header->width;
    image->m_height = header->height;
    image->m_encoded = encoded;
    return image;
}

const Bitmap& CGImage::bitmap() const
{
    std::call_once(m_decoded, [this] {
        if (!m_encoded)
            return; // made empty, or from a bitmap
        auto decoded = decodeImage(m_encoded->bytes());
        bool sameSize = decoded && decoded->width == m_width && decoded->height == m_height;
        m_bitmap = sameSize ? std::move(*decoded) : Bitmap::transparent(uint32_t(m_width), uint32_t(m_height));
        m_encoded = nullptr;
    });
    return m_bitmap;
}

// Registered when the library loads, so objc_getClass("CGImage") answers from the start.
static const bool cgImageClassRegistered = (CGImage::cls(), true);
