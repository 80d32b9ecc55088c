#pragma once
// WallpaperCache: SpringBoard's wallpapers already drawn at the screen's size in pixels, so
// that a frame only copies them. Decoding a wallpaper bitmap and scaling it with a good
// filter, or filling the screen with a gradient, costs more than the rest of a frame
// together, and a wallpaper changes only when its file does (or, without a file, with the
// appearance): an entry is kept while its file's identity (FileIdentity), the appearance
// and the screen's size in pixels stay the same, and made again otherwise.
//
// What is drawn: the wallpaper SpringBoard keeps in its bitmap format, aspect-filled; when
// there is none, a plain gradient, darker in the dark appearance (the lock screen's a
// little redder than the home screen's).

#include "CoreGraphics.h"
#include "FileIdentity.h"

#include <cairo.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

class WallpaperCache {
public:
    // The one cache of this process (SpringBoard draws its screen on its main thread).
    static WallpaperCache& shared();

    struct Wallpaper {
        std::string devicePath;    // LockBackground.cpbitmap or HomeBackground.cpbitmap
        bool lockScreen = false;
        bool dark = false;         // the appearance, for the gradient
    };
    // The wallpaper on a screen of `screen` points at `scale`, as a surface of the screen's
    // size in pixels. It stays valid until the next call.
    cairo_surface_t* screenSized(const Wallpaper& wallpaper, CGSize screen, double scale);
    // How many wallpapers were drawn anew so far (tests see the cache work).
    int preparedCount() const { return m_prepared; }

private:
    using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
    struct Entry {
        std::optional<FileIdentity> identity;   // nothing: the gradient
        bool dark = false;
        int width = 0;
        int height = 0;
        Surface surface { nullptr, cairo_surface_destroy };

        bool sameAs(const Entry& other) const;
    };
    void forgetOtherKinds(const std::string& devicePath, bool hasFile);
    static Surface prepare(const Wallpaper& wallpaper, CGSize screen, double scale, int width, int height);

    std::map<std::string, Entry> m_entries;
    int m_prepared = 0;
};
