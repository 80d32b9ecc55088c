#pragma once
// UIView: a rectangle in a hierarchy. A superview holds its subviews strongly; a view
// knows its superview and its controller without holding them (as on the device).
//
// The messages the product sends or replaces are methods of the runtime class "UIView"
// (initWithFrame:, frame, bounds, center, alpha, hidden, clipsToBounds, subviews,
// addSubview:, insertSubview:atIndex:, removeFromSuperview, layoutSubviews,
// didMoveToWindow, gestureRecognizers, layer, ...). The C++ members below are those
// methods' implementations and the state they keep; code that wants a replacement to take
// effect sends the message instead of calling C++.
//
// Hierarchy changes send, as UIKit does: willRemoveSubview: to the old superview,
// didMoveToSuperview to the view, and didMoveToWindow to the view and every view below it
// when the window they are in changed (a view is in a window when it or an ancestor is a
// UIWindow, shown or not).
//
// Layout: a view needs layout when made, when its size changes, when a subview is added
// and after setNeedsLayout. layoutIfNeeded sends layoutSubviews to the views below it
// (itself included) that need layout, parents before children. UIView's own
// layoutSubviews does nothing but count its runs (layoutPassCount), so a test can see
// whether a replacement let the original run.

#include "CoreGraphics.h"
#include "UIResponder.h"

#include <vector>

class UIViewController;
class UIWindow;

class UIView : public UIResponder {
public:
    ~UIView() override;
    static void declare();

    CGRect frame() const { return m_frame; }
    void setFrame(CGRect frame);
    // The origin of the bounds is always zero here (scroll views keep their offset apart).
    CGRect bounds() const { return { CGPointZero, m_frame.size }; }
    void setBounds(CGRect bounds);
    CGPoint center() const { return { CGRectGetMidX(m_frame), CGRectGetMidY(m_frame) }; }
    void setCenter(CGPoint center);

    double alpha() const { return m_alpha; }
    void setAlpha(double alpha) { m_alpha = alpha; }
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden) { m_hidden = hidden; }
    bool clipsToBounds() const;
    void setClipsToBounds(bool clips);
    bool isUserInteractionEnabled() const { return m_userInteractionEnabled; }
    void setUserInteractionEnabled(bool enabled) { m_userInteractionEnabled = enabled; }
    const id& backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const id& color) { m_backgroundColor = color; }
    long long tag() const { return m_tag; }
    void setTag(long long tag) { m_tag = tag; }
    bool translatesAutoresizingMaskIntoConstraints() const { return m_translatesAutoresizingMask; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates) { m_translatesAutoresizingMask = translates; }
    // Made on first use, as every view has one.
    id layer();

    const std::vector<id>& subviews() const { return m_subviews; }
    UIView* superview() const { return m_superview; }
    // The nearest UIWindow at or above this view; nullptr when in none.
    UIWindow* window() const;
    bool isDescendantOf(const UIView* ancestor) const;
    // The controller whose view this is, if any.
    UIViewController* viewController() const { return m_viewController; }

    void addSubview(const id& view);
    // The index is clamped to the subviews' range; a view already in a hierarchy is moved.
    // Adding a view to itself or to a view below it is a programming error (RuntimeError).
    void insertSubview(const id& view, long long index);
    void removeFromSuperview();
    void bringSubviewToFront(const id& view);
    void sendSubviewToBack(const id& view);

    bool needsLayout() const { return m_needsLayout; }
    void setNeedsLayout() { m_needsLayout = true; }
    void layoutIfNeeded();
    // Marks this view and every view below it as needing layout.
    void setNeedsLayoutRecursively();
    long long layoutPassCount() const { return m_layoutPasses; }

    const std::vector<id>& gestureRecognizers() const { return m_gestureRecognizers; }
    void addGestureRecognizer(const id& recognizer);
    void removeGestureRecognizer(const id& recognizer);

    // The view that an id names, or nil when it is no view.
    static Id<UIView> from(const id& object) { return object.as<UIView>(); }

private:
    friend class UIViewController;
    void detachSubview(UIView* child);
    void notifyWindowChange();

    CGRect m_frame {};
    double m_alpha { 1.0 };
    bool m_hidden { false };
    bool m_userInteractionEnabled { true };
    bool m_translatesAutoresizingMask { true };
    bool m_needsLayout { true };
    long long m_tag { 0 };
    long long m_layoutPasses { 0 };
    id m_backgroundColor;
    id m_layer;
    std::vector<id> m_subviews;
    std::vector<id> m_gestureRecognizers;
    UIView* m_superview { nullptr };
    UIViewController* m_viewController { nullptr };
};
