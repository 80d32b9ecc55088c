#pragma once
// ViewPainter: draws a UIKit stand-in view tree with cairo, as the screen would show it.
//
// What it draws faithfully: frames (with a scroll view's content offset), background
// colours and alpha (a view's alpha applies to it and everything below it), corner radii
// and clipping (clipsToBounds), layer borders (above the content, as a layer draws them),
// hidden views and views at alpha 0 left out, images scaled by the view's content mode
// (scale to fill, aspect fit, aspect fill, centre), template images drawn in the tint
// colour, labels in their font, colour, alignment and line count (pango; the font's name
// chooses the family, "Bold" in it the weight), buttons' images inside their edge insets
// and their titles, and blur effect views as a translucent light or dark fill.
//
// What it draws plainly: a blur is a flat translucent fill (nothing behind it is blurred);
// a named system colour has its light value; a view of a class it does not know is a plain
// UIView (background, border, subviews). It never fails on a view: an object that is no
// view is skipped.
//
// Views whose content is SpringBoard's own drawing (the icon grid, a wallpaper) can be
// given a painter of their own with paintContentOf().

#include "CoreGraphics.h"
#include "Object.h"

#include <cairo.h>

#include <functional>
#include <string>

struct Bitmap;

class ViewPainter {
public:
    explicit ViewPainter(cairo_t* context) : m_cairo(context) { }

    // Draws `view` (its frame's origin at the context's current origin, in points) and the
    // tree below it.
    void paint(const id& view);
    // Draws the view's tree as a window does: the view's own frame origin counts.
    void paintAt(const id& view, CGPoint origin);

    // Extra content for views of one class, drawn after the view's background and before
    // its subviews, in the view's own coordinates.
    using ContentPainter = std::function<void(cairo_t*, const id& view, CGSize size)>;
    void paintContentOf(const std::string& className, ContentPainter painter);

    // Helpers shared with the screens' own drawing.
    static void setSourceColour(cairo_t*, const id& colour, double alphaFactor = 1.0);
    static void roundedRectangle(cairo_t*, CGRect rect, double radius);
    static void drawImage(cairo_t*, const id& image, CGRect rect, long long contentMode, const id& tint = nil);
    struct TextStyle {
        std::string fontName = ".SFUI";
        double pointSize = 17;
        bool bold = false;
        long long alignment = 0; // 0 left, 1 centre, 2 right
        long long lines = 1;      // 0: any
        id colour;
    };
    // Draws the text centred vertically in the frame. A text is laid out once for a style and
    // a frame's width, and kept for the next pictures.
    static void drawText(cairo_t*, const std::string& text, CGRect rect, const TextStyle& style);
    // How many texts have been laid out (not found kept) in this process.
    static int textsLaidOut();

private:
    void paintView(const id& view);
    void paintOwnContent(const id& view, CGSize size);
    const ContentPainter* contentPainterFor(const id& view) const;

    cairo_t* m_cairo;
    std::vector<std::pair<std::string, ContentPainter>> m_contentPainters;
};

// A cairo image surface of `width` by `height` pixels, and the Bitmap it holds once drawn.
class CanvasSurface {
public:
    CanvasSurface(int width, int height);
    ~CanvasSurface();
    CanvasSurface(const CanvasSurface&) = delete;
    CanvasSurface& operator=(const CanvasSurface&) = delete;

    cairo_t* context() const { return m_cairo; }
    // The pixels (BGRA, premultiplied, as Bitmap holds them).
    Bitmap bitmap() const;

private:
    cairo_surface_t* m_surface;
    cairo_t* m_cairo;
};
