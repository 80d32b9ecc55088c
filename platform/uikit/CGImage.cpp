#include "CGImage.h"

CGImage::CGImage()
    : objc_object(cls())
{
}

CGImage::CGImage(Bitmap bitmap)
    : objc_object(cls())
    , m_bitmap(std::move(bitmap))
{
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

// Registered when the library loads, so objc_getClass("CGImage") answers from the start.
static const bool cgImageClassRegistered = (CGImage::cls(), true);
