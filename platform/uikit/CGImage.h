#pragma once
// The CoreGraphics image: an immutable picture. On a device CGImageRef is a CoreFoundation
// object that bridges to id; here it is an object of the runtime (class "CGImage"), so that
// it can travel in an NSArray, as the images a bitmap decoder answers do.
//
// Its pixels are a Bitmap (ImageIO): BGRA, premultiplied alpha, rows tight, top row first.
// An image made from PNG or JPEG bytes is decoded only when its pixels are first asked for
// (to draw it, to encode it again), as a device's ImageIO does: an image that is only put
// in a view, as SpringBoard's start does with every account's avatar and the wallpaper,
// costs its header and its bytes, not megabytes of pixels decoded.

#include "Bitmap.h"
#include "ClassBuilder.h"
#include "NSObjectValues.h"

#include <cstddef>
#include <mutex>

class CGImage : public objc_object {
public:
    CGImage();
    explicit CGImage(Bitmap bitmap);
    static Class cls();
    // Throws std::invalid_argument when the bitmap is not well formed (a caller's bug).
    static Id<CGImage> create(Bitmap bitmap);
    // PNG or JPEG bytes, decoded later; nil when they are not a picture whose structure a
    // decoder takes and whose size it accepts (readImageHeader: signature, headers, every
    // PNG chunk whole, a size within the limits). Pixels that then fail to decode (damaged,
    // or a chunk whose checksum does not match) are drawn as transparent.
    // The data is kept as it is (it cannot change), not copied.
    static Id<CGImage> createDecodingLater(const Id<NSData>& encoded);

    // Decodes first when needed (once, whichever thread asks).
    const Bitmap& bitmap() const;
    size_t width() const { return m_width; }
    size_t height() const { return m_height; }

private:
    mutable Bitmap m_bitmap;
    mutable Id<NSData> m_encoded; // until decoded
    mutable std::once_flag m_decoded;
    size_t m_width = 0;
    size_t m_height = 0;
};

using CGImageRef = Id<CGImage>;

// The CoreGraphics accessors; a nil image has no size.
inline size_t CGImageGetWidth(const CGImageRef& image) { return image ? image->width() : 0; }
inline size_t CGImageGetHeight(const CGImageRef& image) { return image ? image->height() : 0; }
