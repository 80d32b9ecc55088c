#include "UIStackView.h"

#include "UIKitSupport.h"

#include <algorithm>

using UIKitSupport::objectAs;

namespace {

UIStackView& stackOf(const id& self) { return objectAs<UIStackView>(self, "UIStackView"); }

} // namespace

bool UIStackView::isArranged(const UIView* view) const
{
    return std::any_of(m_arrangedSubviews.begin(), m_arrangedSubviews.end(), [&](const id& item) { return item.get() == view; });
}

void UIStackView::addArrangedSubview(const id& view)
{
    insertArrangedSubview(view, m_arrangedSubviews.size());
}

void UIStackView::insertArrangedSubview(const id& view, unsigned long long index)
{
    auto arranged = UIView::from(view);
    if (!arranged) {
        if (view)
            throw RuntimeError(fmt::format("-[UIStackView insertArrangedSubview:atIndex:]: {} is not a view", object_getClassName(view)));
        return;
    }
    std::erase(m_arrangedSubviews, view);
    index = std::min<unsigned long long>(index, m_arrangedSubviews.size());
    m_arrangedSubviews.insert(m_arrangedSubviews.begin() + static_cast<long long>(index), view);
    if (arranged->superview() != this)
        send(id(this), "addSubview:", view);
    setNeedsLayout();
}

void UIStackView::removeArrangedSubview(const id& view)
{
    if (std::erase(m_arrangedSubviews, view))
        setNeedsLayout();
}

void UIStackView::arrangeSubviews()
{
    CGRect area = bounds();
    double position = 0;
    bool vertical = m_axis == UILayoutConstraintAxisVertical;
    for (const auto& item : m_arrangedSubviews) {
        auto view = UIView::from(item);
        if (view->isHidden())
            continue;
        CGRect frame = view->frame();
        if (vertical)
            frame = CGRectMake(0, position, area.size.width, frame.size.height);
        else
            frame = CGRectMake(position, 0, frame.size.width, area.size.height);
        send(item, "setFrame:", frame);
        position += (vertical ? frame.size.height : frame.size.width) + m_spacing;
    }
}

void UIStackView::declare()
{
    ClassBuilder("UIStackView", "UIView")
        .instancesOf<UIStackView>()
        .method("initWithArrangedSubviews:", [](id self, SEL, id views) -> id {
            self = send<id>(self, "initWithFrame:", CGRectZero);
            if (auto list = views.as<NSArray>()) {
                for (const auto& view : *list)
                    stackOf(self).addArrangedSubview(view);
            }
            return self;
        })
        .method("arrangedSubviews", [](id self, SEL) -> id { return NSArray::array(stackOf(self).arrangedSubviews()); })
        .method("addArrangedSubview:", [](id self, SEL, id view) { stackOf(self).addArrangedSubview(view); })
        .method("insertArrangedSubview:atIndex:", [](id self, SEL, id view, unsigned long long index) { stackOf(self).insertArrangedSubview(view, index); })
        .method("removeArrangedSubview:", [](id self, SEL, id view) { stackOf(self).removeArrangedSubview(view); })
        .method("axis", [](id self, SEL) -> long long { return stackOf(self).axis(); })
        .method("setAxis:", [](id self, SEL, long long axis) { stackOf(self).setAxis(axis == 1 ? UILayoutConstraintAxisVertical : UILayoutConstraintAxisHorizontal); })
        .method("spacing", [](id self, SEL) -> double { return stackOf(self).spacing(); })
        .method("setSpacing:", [](id self, SEL, double spacing) { stackOf(self).setSpacing(spacing); })
        .method("willRemoveSubview:", [](id self, SEL, id subview) { stackOf(self).removeArrangedSubview(subview); })
        .method("layoutSubviews", [](id self, SEL) {
            sendSuper(objc_getClass("UIStackView"), self, "layoutSubviews");
            stackOf(self).arrangeSubviews();
        });
}
