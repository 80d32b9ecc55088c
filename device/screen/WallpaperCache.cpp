#include "WallpaperCache.h"

#include "CPBitmap.h"
#include "FileSystem.h"
#include "UIImage.h"
#include "ViewPainter.h"

#include <cmath>

namespace {

constexpr long long kAspectFill = 2;

// The picture in SpringBoard's wallpaper file, or nothing.
std::optional<Bitmap> wallpaperPicture(const std::string& devicePath)
{
    auto bytes = FileSystem::readFile(devicePath);
    if (!bytes)
        return std::nullopt;
    auto images = decodeCPBitmap(*bytes);
    if (images.empty())
        return std::nullopt;
    return std::move(images.front());
}

void drawGradient(cairo_t* cairo, CGSize screen, bool lockScreen, bool dark)
{
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, screen.width, screen.height);
    double shade = dark ? 0.45 : 1.0;
    cairo_pattern_add_color_stop_rgb(gradient, 0, 0.20 * shade, 0.45 * shade, 0.85 * shade);
    cairo_pattern_add_color_stop_rgb(gradient, 1, (lockScreen ? 0.55 : 0.35) * shade, 0.25 * shade, 0.70 * shade);
    cairo_rectangle(cairo, 0, 0, screen.width, screen.height);
    cairo_set_source(cairo, gradient);
    cairo_fill(cairo);
    cairo_pattern_destroy(gradient);
}

} // namespace

WallpaperCache& WallpaperCache::shared()
{
    static WallpaperCache cache;
    return cache;
}

bool WallpaperCache::Entry::sameAs(const Entry& other) const
{
    // The appearance changes only the gradient.
    return identity == other.identity && (identity || dark == other.dark) && width == other.width && height == other.height;
}

cairo_surface_t* WallpaperCache::screenSized(const Wallpaper& wallpaper, CGSize screen, double scale)
{
    Entry wanted { FileIdentity::ofPath(wallpaper.devicePath), wallpaper.dark, static_cast<int>(std::lround(screen.width * scale)),
        static_cast<int>(std::lround(screen.height * scale)) };
    // Without a file, each appearance has a gradient of its own: both are kept, so that
    // switching between light and dark only copies.
    std::string key = wanted.identity ? wallpaper.devicePath : wallpaper.devicePath + (wallpaper.dark ? "#dark" : "#light");
    forgetOtherKinds(wallpaper.devicePath, wanted.identity.has_value());
    auto found = m_entries.find(key);
    if (found != m_entries.end() && found->second.sameAs(wanted))
        return found->second.surface.get();
    wanted.surface = prepare(wallpaper, screen, scale, wanted.width, wanted.height);
    ++m_prepared;
    cairo_surface_t* surface = wanted.surface.get();
    m_entries.insert_or_assign(key, std::move(wanted));
    return surface;
}

// A screen-sized surface is 22 MB on an iPad: once a wallpaper file is set, its gradients go,
// and once it is removed, its picture.
void WallpaperCache::forgetOtherKinds(const std::string& devicePath, bool hasFile)
{
    if (hasFile) {
        m_entries.erase(devicePath + "#dark");
        m_entries.erase(devicePath + "#light");
    } else {
        m_entries.erase(devicePath);
    }
}

WallpaperCache::Surface WallpaperCache::prepare(const Wallpaper& wallpaper, CGSize screen, double scale, int width, int height)
{
    auto picture = wallpaperPicture(wallpaper.devicePath);
    // An opaque wallpaper (any real one, and the gradient) is kept without alpha: copying it
    // onto the screen is then a plain copy.
    bool opaque = !picture || picture->isOpaque();
    Surface surface(cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, std::max(1, width), std::max(1, height)),
        cairo_surface_destroy);
    cairo_t* cairo = cairo_create(surface.get());
    cairo_scale(cairo, scale, scale);
    if (picture)
        ViewPainter::drawImage(cairo, UIImage::imageWithCGImage(CGImage::create(std::move(*picture))), { CGPointZero, screen }, kAspectFill);
    else
        drawGradient(cairo, screen, wallpaper.lockScreen, wallpaper.dark);
    cairo_destroy(cairo);
    cairo_surface_flush(surface.get());
    return surface;
}
