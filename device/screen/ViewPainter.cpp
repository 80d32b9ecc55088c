#include "ViewPainter.h"

#include "Bitmap.h"
#include "CALayer.h"
#include "MessageSend.h"
#include "UIButton.h"
#include "UIColor.h"
#include "UIFont.h"
#include "UIImage.h"
#include "UIImageView.h"
#include "UIKitState.h"
#include "UILabel.h"
#include "UIScrollView.h"
#include "UIVisualEffectView.h"

#include <pango/pangocairo.h>

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace {

// Below this a view is as good as invisible, as UIKit treats it.
constexpr double kInvisibleAlpha = 0.01;

bool darkAppearance()
{
    return UIKitState::shared().userInterfaceStyle == 2;
}

// A named system colour as the current appearance shows it.
struct RGBA {
    double red, green, blue, alpha;
};

RGBA resolved(const UIColor& colour)
{
    RGBA value { colour.red(), colour.green(), colour.blue(), colour.alpha() };
    if (!darkAppearance())
        return value;
    const std::string& name = colour.name();
    if (name == "labelColor")
        return { 1, 1, 1, 1 };
    if (name == "secondaryLabelColor")
        return { 235 / 255.0, 235 / 255.0, 245 / 255.0, 0.6 };
    if (name == "systemBackgroundColor")
        return { 0, 0, 0, 1 };
    return value;
}

std::string fontFamily(const std::string& fontName)
{
    // The system font and Apple's families are drawn with whatever sans the machine has.
    if (fontName.rfind("Helvetica", 0) == 0)
        return "Helvetica, Arial, sans-serif";
    return "sans-serif";
}

// The rectangle an image of `imageSize` takes in `frame` for a UIViewContentMode.
CGRect placedImage(CGSize imageSize, CGRect frame, long long contentMode)
{
    if (imageSize.width <= 0 || imageSize.height <= 0)
        return frame;
    double scaleX = frame.size.width / imageSize.width;
    double scaleY = frame.size.height / imageSize.height;
    double scale = 1;
    switch (contentMode) {
    case 0: // scale to fill
        return frame;
    case 1: // aspect fit
        scale = std::min(scaleX, scaleY);
        break;
    case 2: // aspect fill
        scale = std::max(scaleX, scaleY);
        break;
    default: // centre and the rest: natural size, centred
        scale = 1;
        break;
    }
    CGSize size { imageSize.width * scale, imageSize.height * scale };
    return { { frame.origin.x + (frame.size.width - size.width) / 2, frame.origin.y + (frame.size.height - size.height) / 2 }, size };
}

CGRect inset(CGRect rect, const UIEdgeInsets& insets)
{
    return { { rect.origin.x + insets.left, rect.origin.y + insets.top },
        { std::max(0.0, rect.size.width - insets.left - insets.right), std::max(0.0, rect.size.height - insets.top - insets.bottom) } };
}

} // namespace

// Colours, shapes, images, text ----------------------------------------------------------------

void ViewPainter::setSourceColour(cairo_t* cairo, const id& colour, double alphaFactor)
{
    auto value = colour.as<UIColor>();
    if (!value) {
        cairo_set_source_rgba(cairo, 0, 0, 0, 0);
        return;
    }
    RGBA rgba = resolved(*value);
    cairo_set_source_rgba(cairo, rgba.red, rgba.green, rgba.blue, rgba.alpha * alphaFactor);
}

void ViewPainter::roundedRectangle(cairo_t* cairo, CGRect rect, double radius)
{
    double x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    radius = std::clamp(radius, 0.0, std::min(w, h) / 2);
    if (radius <= 0) {
        cairo_rectangle(cairo, x, y, w, h);
        return;
    }
    cairo_new_sub_path(cairo);
    cairo_arc(cairo, x + w - radius, y + radius, radius, -M_PI / 2, 0);
    cairo_arc(cairo, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
    cairo_arc(cairo, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cairo, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cairo);
}

void ViewPainter::drawImage(cairo_t* cairo, const id& image, CGRect rect, long long contentMode, const id& tint)
{
    auto picture = image.as<UIImage>();
    if (!picture || !picture->CGImage() || rect.size.width <= 0 || rect.size.height <= 0)
        return;
    const Bitmap& pixels = picture->CGImage()->bitmap();
    int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, static_cast<int>(pixels.width));
    if (stride != static_cast<int>(pixels.width * 4))
        return; // cairo's rows are always tight for 32-bit pixels; anything else is no picture
    // Bitmap's pixels are BGRA premultiplied, top row first: cairo's ARGB32 on this machine.
    cairo_surface_t* source = cairo_image_surface_create_for_data(const_cast<uint8_t*>(pixels.pixels.data()), CAIRO_FORMAT_ARGB32,
        static_cast<int>(pixels.width), static_cast<int>(pixels.height), stride);
    CGSize pointSize = picture->size();
    CGRect placed = placedImage(pointSize, rect, contentMode);
    cairo_save(cairo);
    cairo_rectangle(cairo, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
    cairo_clip(cairo);
    cairo_translate(cairo, placed.origin.x, placed.origin.y);
    cairo_scale(cairo, placed.size.width / pixels.width, placed.size.height / pixels.height);
    bool templated = picture->renderingMode() == UIImageRenderingModeAlwaysTemplate && tint;
    if (templated) {
        // A template image is its shape, filled with the tint colour.
        setSourceColour(cairo, tint);
        cairo_mask_surface(cairo, source, 0, 0);
    } else {
        cairo_set_source_surface(cairo, source, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cairo), CAIRO_FILTER_GOOD);
        cairo_paint(cairo);
    }
    cairo_restore(cairo);
    cairo_surface_destroy(source);
}

namespace {

// A text laid out once for a frame's width and a style, kept for the next picture: a home
// screen has two labels an icon, and shaping them again at every picture cost more than the
// rest of the drawing. The layout is kept with the frame's width it spilled to (see below).
struct LaidOutText {
    PangoLayout* layout = nullptr;
    double width = 0;   // the frame's width, widened for a line that does not fit
    double shift = 0;   // how far left the widened frame starts
    int height = 0;
};

class TextLayouts {
public:
    ~TextLayouts() { clear(); }

    int laidOutCount() const { return m_laidOutCount; }

    const LaidOutText& layout(cairo_t* cairo, const std::string& text, double width, const ViewPainter::TextStyle& style)
    {
        double scale = 1, unused = 0;
        cairo_user_to_device_distance(cairo, &scale, &unused);
        std::string key = fmt::format("{}\x1f{}\x1f{}\x1f{}\x1f{}\x1f{}\x1f{}\x1f{}", text, style.fontName, style.pointSize, style.bold,
            style.alignment, style.lines, width, scale);
        auto found = m_laidOut.find(key);
        if (found != m_laidOut.end()) {
            pango_cairo_update_layout(cairo, found->second.layout);
            return found->second;
        }
        if (m_laidOut.size() >= kMostKept)
            clear();
        ++m_laidOutCount;
        return m_laidOut.emplace(std::move(key), layOut(cairo, text, width, style)).first->second;
    }

private:
    static constexpr size_t kMostKept = 1024;

    static LaidOutText layOut(cairo_t* cairo, const std::string& text, double width, const ViewPainter::TextStyle& style);

    void clear()
    {
        for (auto& [key, text] : m_laidOut)
            g_object_unref(text.layout);
        m_laidOut.clear();
    }

    std::unordered_map<std::string, LaidOutText> m_laidOut;
    int m_laidOutCount = 0;
};

TextLayouts& textLayouts()
{
    static TextLayouts layouts;
    return layouts;
}

LaidOutText TextLayouts::layOut(cairo_t* cairo, const std::string& text, double width, const ViewPainter::TextStyle& style)
{
    LaidOutText laidOut { pango_cairo_create_layout(cairo), width, 0, 0 };
    PangoLayout* layout = laidOut.layout;
    PangoFontDescription* font = pango_font_description_from_string(fontFamily(style.fontName).c_str());
    pango_font_description_set_absolute_size(font, style.pointSize * PANGO_SCALE);
    pango_font_description_set_weight(font, style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    // A label with a line limit ends its last line with an ellipsis; one without wraps freely.
    if (style.lines > 0) {
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        pango_layout_set_height(layout, -static_cast<int>(style.lines));
    }
    pango_layout_set_alignment(layout, style.alignment == 1 ? PANGO_ALIGN_CENTER : style.alignment == 2 ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT);
    pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
    // The layout's text metric is an estimate; a line that the real font makes wider than
    // the frame is drawn whole, spilling out evenly, rather than broken in mid-word.
    if (style.lines != 1 || text.find('\n') == std::string::npos) {
        pango_layout_set_width(layout, -1);
        int natural = 0, ignored = 0;
        pango_layout_get_pixel_size(layout, &natural, &ignored);
        if (natural > width && text.find('\n') == std::string::npos) {
            double spill = natural - width;
            laidOut.shift = style.alignment == 1 ? spill / 2 : style.alignment == 2 ? spill : 0;
            laidOut.width = natural;
        }
        pango_layout_set_width(layout, static_cast<int>(laidOut.width * PANGO_SCALE));
    }
    int ignored = 0;
    pango_layout_get_pixel_size(layout, &ignored, &laidOut.height);
    return laidOut;
}

} // namespace

void ViewPainter::drawText(cairo_t* cairo, const std::string& text, CGRect rect, const TextStyle& style)
{
    if (text.empty() || rect.size.width <= 0 || rect.size.height <= 0)
        return;
    const LaidOutText& laidOut = textLayouts().layout(cairo, text, rect.size.width, style);
    cairo_save(cairo);
    // A label centres its text vertically.
    cairo_move_to(cairo, rect.origin.x - laidOut.shift, rect.origin.y + (rect.size.height - laidOut.height) / 2);
    setSourceColour(cairo, style.colour);
    pango_cairo_show_layout(cairo, laidOut.layout);
    cairo_restore(cairo);
}

int ViewPainter::textsLaidOut()
{
    return textLayouts().laidOutCount();
}

// The tree -------------------------------------------------------------------------------------

void ViewPainter::paintContentOf(const std::string& className, ContentPainter painter)
{
    m_contentPainters.emplace_back(className, std::move(painter));
}

const ViewPainter::ContentPainter* ViewPainter::contentPainterFor(const id& view) const
{
    for (const auto& [className, painter] : m_contentPainters) {
        if (class_isSubclassOf(object_getClass(view), objc_getClass(className.c_str())))
            return &painter;
    }
    return nullptr;
}

void ViewPainter::paint(const id& view)
{
    paintView(view);
}

void ViewPainter::paintAt(const id& view, CGPoint origin)
{
    cairo_save(m_cairo);
    cairo_translate(m_cairo, origin.x, origin.y);
    paintView(view);
    cairo_restore(m_cairo);
}

void ViewPainter::paintView(const id& object)
{
    auto view = UIView::from(object);
    if (!view || view->isHidden() || view->alpha() < kInvisibleAlpha)
        return;
    CGRect frame = view->frame();
    CGSize size = frame.size;
    auto layer = view->layer().as<CALayer>();
    double radius = layer ? layer->cornerRadius() : 0;
    CGRect bounds { CGPointZero, size };

    cairo_save(m_cairo);
    cairo_translate(m_cairo, frame.origin.x, frame.origin.y);
    // A view's transform applies about its centre, as its layer's anchor point is there.
    CGAffineTransform transform = view->transform();
    if (!(transform == CGAffineTransformIdentity)) {
        cairo_matrix_t matrix;
        cairo_matrix_init(&matrix, transform.a, transform.b, transform.c, transform.d, transform.tx, transform.ty);
        cairo_translate(m_cairo, size.width / 2, size.height / 2);
        cairo_transform(m_cairo, &matrix);
        cairo_translate(m_cairo, -size.width / 2, -size.height / 2);
    }
    bool grouped = view->alpha() < 1.0;
    if (grouped)
        cairo_push_group(m_cairo);

    if (view->backgroundColor()) {
        roundedRectangle(m_cairo, bounds, radius);
        setSourceColour(m_cairo, view->backgroundColor());
        cairo_fill(m_cairo);
    }
    cairo_save(m_cairo);
    if (view->clipsToBounds()) {
        roundedRectangle(m_cairo, bounds, radius);
        cairo_clip(m_cairo);
    }
    paintOwnContent(object, size);
    if (const ContentPainter* painter = contentPainterFor(object))
        (*painter)(m_cairo, object, size);
    CGPoint offset {};
    if (auto scrollView = object.as<UIScrollView>())
        offset = scrollView->contentOffset();
    cairo_translate(m_cairo, -offset.x, -offset.y);
    auto subviews = view->subviews();
    for (const id& subview : subviews)
        paintView(subview);
    cairo_restore(m_cairo);

    if (layer && layer->borderWidth() > 0 && layer->borderColor()) {
        double half = layer->borderWidth() / 2;
        roundedRectangle(m_cairo, { { half, half }, { size.width - 2 * half, size.height - 2 * half } }, std::max(0.0, radius - half));
        setSourceColour(m_cairo, layer->borderColor());
        cairo_set_line_width(m_cairo, layer->borderWidth());
        cairo_stroke(m_cairo);
    }

    if (grouped) {
        cairo_pop_group_to_source(m_cairo);
        cairo_paint_with_alpha(m_cairo, view->alpha());
    }
    cairo_restore(m_cairo);
}

void ViewPainter::paintOwnContent(const id& object, CGSize size)
{
    CGRect bounds { CGPointZero, size };
    if (auto label = object.as<UILabel>()) {
        auto font = label->font().as<UIFont>();
        TextStyle style;
        if (font) {
            style.fontName = font->fontName();
            style.pointSize = font->pointSize();
            style.bold = font->isBold();
        }
        style.alignment = label->textAlignment() == NSTextAlignmentNatural ? 0LL : static_cast<long long>(label->textAlignment());
        style.lines = label->numberOfLines();
        style.colour = label->textColor();
        drawText(m_cairo, label->textString(), bounds, style);
    } else if (auto imageView = object.as<UIImageView>()) {
        drawImage(m_cairo, imageView->image(), bounds, imageView->contentMode(), imageView->tintColor());
    } else if (auto button = object.as<UIButton>()) {
        drawImage(m_cairo, button->imageForState(0), inset(bounds, button->imageEdgeInsets()), 1, button->tintColor());
        auto title = button->titleForState(0).as<NSString>();
        if (title) {
            TextStyle style;
            style.pointSize = 15;
            style.alignment = 1;
            style.colour = button->tintColor();
            drawText(m_cairo, title->utf8(), bounds, style);
        }
    } else if (auto effectView = object.as<UIVisualEffectView>()) {
        auto blur = effectView->effect().as<UIBlurEffect>();
        if (blur) {
            bool dark = blur->style() == UIBlurEffectStyleDark || blur->style() == 3; // dark or extra dark
            cairo_rectangle(m_cairo, 0, 0, size.width, size.height);
            if (dark)
                cairo_set_source_rgba(m_cairo, 0.11, 0.11, 0.12, 0.72);
            else
                cairo_set_source_rgba(m_cairo, 0.97, 0.97, 0.98, 0.72);
            cairo_fill(m_cairo);
        }
    }
}

// Surfaces -------------------------------------------------------------------------------------

CanvasSurface::CanvasSurface(int width, int height)
    : m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(1, width), std::max(1, height)))
    , m_cairo(cairo_create(m_surface))
{
}

CanvasSurface::~CanvasSurface()
{
    cairo_destroy(m_cairo);
    cairo_surface_destroy(m_surface);
}

Bitmap CanvasSurface::bitmap() const
{
    cairo_surface_flush(m_surface);
    int width = cairo_image_surface_get_width(m_surface);
    int height = cairo_image_surface_get_height(m_surface);
    int stride = cairo_image_surface_get_stride(m_surface);
    const unsigned char* data = cairo_image_surface_get_data(m_surface);
    Bitmap bitmap = Bitmap::transparent(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    for (int row = 0; row < height; ++row)
        std::memcpy(bitmap.pixels.data() + static_cast<size_t>(row) * width * 4, data + static_cast<size_t>(row) * stride, static_cast<size_t>(width) * 4);
    return bitmap;
}
