#include "ViewTreeDump.h"

#include "UIKit.h"

#include <fmt/format.h>

namespace ViewTreeDump {

namespace {

std::string number(double value)
{
    return fmt::format("{:g}", value);
}

void addEntries(const id& object, CGPoint origin, int depth, const Namer& namer, Json& out)
{
    auto view = UIView::from(object);
    if (!view)
        return;
    CGRect frame = view->frame();
    CGPoint absolute { origin.x + frame.origin.x, origin.y + frame.origin.y };
    Json entry;
    entry["depth"] = depth;
    entry["class"] = object_getClassName(object);
    if (std::string name = namer(object); !name.empty())
        entry["name"] = name;
    entry["frame"] = Json::array({ absolute.x, absolute.y, frame.size.width, frame.size.height });
    entry["alpha"] = view->alpha();
    entry["hidden"] = view->isHidden();
    if (CGAffineTransform transform = view->transform(); !CGAffineTransformIsIdentity(transform))
        entry["scale"] = transform.a == transform.d ? number(transform.a) : fmt::format("{} {}", number(transform.a), number(transform.d));
    if (view->backgroundColor())
        entry["background"] = colourText(view->backgroundColor());
    if (auto* button = dynamic_cast<UIButton*>(view.get())) {
        entry["tint"] = colourText(view->tintColor());
        if (auto image = button->imageForState(0).as<UIImage>()) {
            CGSize size = image->size();
            entry["image"] = fmt::format("{}x{}{}", number(size.width), number(size.height),
                image->renderingMode() == UIImageRenderingModeAlwaysTemplate ? " template" : "");
        } else {
            entry["image"] = "none";
        }
        UIEdgeInsets insets = button->imageEdgeInsets();
        entry["imageInsets"] = fmt::format("{} {} {} {}", number(insets.top), number(insets.left), number(insets.bottom), number(insets.right));
    }
    if (auto* label = dynamic_cast<UILabel*>(view.get())) {
        entry["text"] = label->textString();
        entry["textColor"] = colourText(label->textColor());
        if (auto font = label->font().as<UIFont>())
            entry["font"] = fmt::format("{} {}", font->fontName(), number(font->pointSize()));
    }
    if (auto* imageView = dynamic_cast<UIImageView*>(view.get())) {
        auto image = imageView->image().as<UIImage>();
        entry["image"] = image ? fmt::format("{}x{}", number(image->size().width), number(image->size().height)) : std::string("none");
    }
    if (auto* effectView = dynamic_cast<UIVisualEffectView*>(view.get())) {
        auto blur = effectView->effect().as<UIBlurEffect>();
        entry["effect"] = blur ? "blur " + blurEffectStyleName(blur->style()) : std::string("none");
    }
    if (auto layer = send<id>(object, "layer").as<CALayer>()) {
        if (layer->cornerRadius() != 0)
            entry["cornerRadius"] = layer->cornerRadius();
        if (layer->borderWidth() != 0)
            entry["border"] = fmt::format("{} {}", number(layer->borderWidth()), colourText(layer->borderColor()));
    }
    out.push_back(std::move(entry));
    for (const auto& child : view->subviews())
        addEntries(child, absolute, depth + 1, namer, out);
}

} // namespace

std::string colourText(const id& colour)
{
    auto value = colour.as<UIColor>();
    if (!value)
        return "none";
    if (!value->name().empty())
        return value->name();
    return fmt::format("rgba({}, {}, {}, {})", number(value->red()), number(value->green()), number(value->blue()), number(value->alpha()));
}

Json dump(const id& root, const Namer& namer)
{
    Json entries = Json::array();
    auto view = UIView::from(root);
    if (!view)
        return entries;
    CGPoint origin = CGPointZero;
    for (UIView* above = view->superview(); above; above = above->superview())
        origin = { origin.x + above->frame().origin.x, origin.y + above->frame().origin.y };
    addEntries(root, origin, 0, namer, entries);
    return entries;
}

} // namespace ViewTreeDump
