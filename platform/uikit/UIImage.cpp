#include "UIImage.h"

#include "FileSystem.h"
#include "ImageDecoder.h"
#include "JPEGCodec.h"
#include "PNGEncoder.h"

#include <algorithm>
#include <optional>
#include <span>

namespace {

Id<UIImage> imageFromData(const Id<NSData>& data)
{
    return UIImage::imageWithCGImage(CGImage::createDecodingLater(data));
}

std::string pathArgument(const id& path)
{
    auto string = path.as<NSString>();
    return string ? string->utf8() : std::string();
}

} // namespace

UIImage::UIImage()
    : objc_object(cls())
{
}

Class UIImage::cls()
{
    static Class registered = [] {
        ClassBuilder builder("UIImage", "NSObject");
        builder.instancesOf<UIImage>()
            .permanent()
            .classMethod("imageWithContentsOfFile:", [](id, SEL, id path) -> id {
                auto text = pathArgument(path);
                return text.empty() ? nil : id(imageWithContentsOfFile(text));
            })
            .classMethod("imageWithData:", [](id, SEL, id data) -> id { return imageWithData(data.as<NSData>()); })
            .classMethod("imageWithCGImage:", [](id, SEL, id image) -> id { return imageWithCGImage(image.as<::CGImage>()); })
            .method("CGImage", [](id self, SEL) -> id { return self.as<UIImage>()->CGImage(); })
            .method("scale", [](id self, SEL) -> double { return self.as<UIImage>()->scale(); })
            .method("size", [](id self, SEL) -> CGSize { return self.as<UIImage>()->size(); })
            .method("renderingMode", [](id self, SEL) -> long long { return self.as<UIImage>()->renderingMode(); })
            .method("imageWithRenderingMode:", [](id self, SEL, long long mode) -> id {
                return self.as<UIImage>()->imageWithRenderingMode(static_cast<UIImageRenderingMode>(mode));
            });
        return builder.get();
    }();
    return registered;
}

Id<UIImage> UIImage::imageWithContentsOfFile(std::string_view path)
{
    auto bytes = FileSystem::readFile(path);
    if (!bytes)
        return nullptr;
    return imageFromData(NSData::data(std::move(*bytes)));
}

Id<UIImage> UIImage::imageWithData(const Id<NSData>& data)
{
    return imageFromData(data);
}

Id<UIImage> UIImage::imageWithCGImage(const CGImageRef& image)
{
    if (!image)
        return nullptr;
    auto result = make<UIImage>();
    result->m_image = image;
    return result;
}

Id<UIImage> UIImage::imageWithRenderingMode(UIImageRenderingMode mode) const
{
    auto result = make<UIImage>();
    result->m_image = m_image;
    result->m_scale = m_scale;
    result->m_renderingMode = mode;
    return result;
}

CGSize UIImage::size() const
{
    return CGSizeMake(static_cast<CGFloat>(CGImageGetWidth(m_image)) / m_scale, static_cast<CGFloat>(CGImageGetHeight(m_image)) / m_scale);
}

Id<NSData> UIImagePNGRepresentation(const id& image)
{
    auto uiImage = image.as<UIImage>();
    if (!uiImage || !uiImage->CGImage())
        return nullptr;
    return NSData::data(encodePNG(uiImage->CGImage()->bitmap()));
}

Id<NSData> UIImageJPEGRepresentation(const id& image, double compressionQuality)
{
    auto uiImage = image.as<UIImage>();
    if (!uiImage || !uiImage->CGImage())
        return nullptr;
    int quality = static_cast<int>(std::clamp(compressionQuality, 0.0, 1.0) * 100.0 + 0.5);
    return NSData::data(encodeJPEG(uiImage->CGImage()->bitmap(), quality));
}

static const bool uiImageClassRegistered = (UIImage::cls(), true);
