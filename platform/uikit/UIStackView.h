#pragma once
// UIStackView: lines up its arranged subviews along its axis (0 horizontal, the default;
// 1 vertical) with `spacing` between them. Every arranged view is also a subview: adding
// or inserting one that is not yet a subview adds it; removing a view from its superview
// also removes it from the arranged views; removeArrangedSubview: leaves it a subview.
//
// The layout is simple: in layoutSubviews each visible arranged view keeps its own length
// along the axis, takes the stack's full breadth across it, and follows the previous one;
// hidden views take no room. An arranged view laid out by constraints gets its length from
// them, and its place and breadth from the stack view (LayoutEngine.h).

#include "UIView.h"

enum UILayoutConstraintAxis : long long {
    UILayoutConstraintAxisHorizontal = 0,
    UILayoutConstraintAxisVertical = 1,
};

class UIStackView : public UIView {
public:
    static void declare();

    const std::vector<id>& arrangedSubviews() const { return m_arrangedSubviews; }
    bool isArranged(const UIView* view) const;
    void addArrangedSubview(const id& view);
    // The index is clamped to the arranged views' range; an arranged view is moved.
    void insertArrangedSubview(const id& view, unsigned long long index);
    void removeArrangedSubview(const id& view);
    UILayoutConstraintAxis axis() const { return m_axis; }
    void setAxis(UILayoutConstraintAxis axis) { m_axis = axis; }
    double spacing() const { return m_spacing; }
    void setSpacing(double spacing) { m_spacing = spacing; }
    void arrangeSubviews();

private:
    std::vector<id> m_arrangedSubviews;
    UILayoutConstraintAxis m_axis { UILayoutConstraintAxisHorizontal };
    double m_spacing { 0 };
};
