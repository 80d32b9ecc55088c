#pragma once
// The CoreGraphics image: an immutable picture. On a device CGImageRef is a CoreFoundation
// object that bridges to id; here it is an object of the runtime (class "CGImage"), so that
// it can travel in an NSArray, as the images a bitmap decoder answers do.
//
// Its pixels are a Bitmap (ImageIO): BGRA, premultiplied alpha, rows tight, top row first.

#include "Bitmap.h"
#include "ClassBuilder.h"

#include <cstddef>

class CGImage : public objc_object {
public:
    CGImage();
    explicit CGImage(Bitmap bitmap);
    static Class cls();
    // Throws std::invalid_argument when the bitmap is not well formed (a caller's bug).
    static Id<CGImage> create(Bitmap bitmap);

    const Bitmap& bitmap() const { return m_bitmap; }
    size_t width() const { return m_bitmap.width; }
    size_t height() const { return m_bitmap.height; }

private:
    Bitmap m_bitmap;
};

using CGImageRef = Id<CGImage>;

// The CoreGraphics accessors; a nil image has no size.
inline size_t CGImageGetWidth(const CGImageRef& image) { return image ? image->width() : 0; }
inline size_t CGImageGetHeight(const CGImageRef& image) { return image ? image->height() : 0; }
