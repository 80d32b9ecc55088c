#pragma once
// UIKit's image: a CGImage with a scale and a rendering mode. Registered in the runtime as
// "UIImage" with the messages the product sends (imageWithContentsOfFile:, imageWithData:,
// imageWithCGImage:, CGImage, imageWithRenderingMode:, renderingMode, scale, size); C++ callers
// of the platform may use the static functions below, which are the same code.
//
// Files and data in PNG or JPEG are read; anything else, or a damaged file, gives nil,
// as on a device.

#include "CGImage.h"
#include "CoreGraphics.h"
#include "NSObjectValues.h"

#include <string_view>

enum UIImageRenderingMode : long long {
    UIImageRenderingModeAutomatic = 0,
    UIImageRenderingModeAlwaysOriginal = 1,
    UIImageRenderingModeAlwaysTemplate = 2,
};

class UIImage : public objc_object {
public:
    UIImage();
    static Class cls();

    // The path is a device path. nil when the file is missing or not a PNG or JPEG.
    static Id<UIImage> imageWithContentsOfFile(std::string_view path);
    static Id<UIImage> imageWithData(const Id<NSData>& data);
    // nil for a nil image.
    static Id<UIImage> imageWithCGImage(const CGImageRef& image);

    const CGImageRef& CGImage() const { return m_image; }
    double scale() const { return m_scale; }
    UIImageRenderingMode renderingMode() const { return m_renderingMode; }
    // The same picture drawn in another mode (a new image; this one is unchanged).
    Id<UIImage> imageWithRenderingMode(UIImageRenderingMode mode) const;
    // Size in points: the pixel size divided by the scale.
    CGSize size() const;

private:
    CGImageRef m_image;
    double m_scale { 1.0 };
    UIImageRenderingMode m_renderingMode { UIImageRenderingModeAutomatic };
};

// The image as PNG data (the fast PNG encoder); nil for nil or for an object that is not a
// UIImage.
Id<NSData> UIImagePNGRepresentation(const id& image);
// The image as JPEG data; quality from 0 (smallest) to 1 (best), clamped.
Id<NSData> UIImageJPEGRepresentation(const id& image, double compressionQuality);
