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
// and after setNeedsLayout. layoutIfNeeded first solves the active constraints of the
// whole hierarchy it is in (LayoutEngine.h) and sets the frames they give, then sends
// layoutSubviews to the views below it (itself included) that need layout, parents before
// children; as long as a layoutSubviews changed something (a collection view placing its
// cells), the two steps run again, at most kMaxLayoutRounds times. UIView's own
// layoutSubviews does nothing but count its runs (layoutPassCount), so a test can see
// whether a replacement let the original run.
//
// Constraints: the anchors (topAnchor … heightAnchor, NSLayoutAnchor.h) make them; an
// active constraint is installed on its first item (`constraints`). A view that leaves
// its hierarchy takes the constraints that tie it to the views it leaves with it: they
// are deactivated. With translatesAutoresizingMaskIntoConstraints YES (the default) a
// view keeps its frame, and follows its superview's size changes by its autoresizing
// mask (UIViewAutoresizing) whenever the superview's frame changes.
//
// transform: kept and answered (identity by default); it is drawing only here, and changes
// neither the frame nor the layout.
//
// Animations (UIViewAnimation.h) set their values at once and run completions later.
//
// intrinsicContentSize: UIViewNoIntrinsicMetric in both dimensions for a plain view.
//
// Appearance: traitCollection answers the current trait collection (UITraitCollection.h);
// traitCollectionDidChange: does nothing here and is sent down the tree of every window
// when the appearance changes. tintColor is the view's own, or its superview's, or nil.

#include "CoreGraphics.h"
#include "ScreenChanges.h"
#include "UIResponder.h"

#include <vector>

class NSLayoutConstraint;
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

    CGAffineTransform transform() const { return m_transform; }
    void setTransform(const CGAffineTransform& transform) { ScreenChanges::setDrawn(m_transform, transform); }
    double alpha() const { return m_alpha; }
    void setAlpha(double alpha) { ScreenChanges::setDrawn(m_alpha, alpha); }
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden) { ScreenChanges::setDrawn(m_hidden, hidden); }
    bool clipsToBounds() const;
    void setClipsToBounds(bool clips);
    bool isUserInteractionEnabled() const { return m_userInteractionEnabled; }
    void setUserInteractionEnabled(bool enabled) { m_userInteractionEnabled = enabled; }
    const id& backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const id& color) { ScreenChanges::setDrawn(m_backgroundColor, color); }
    long long tag() const { return m_tag; }
    void setTag(long long tag) { m_tag = tag; }
    bool translatesAutoresizingMaskIntoConstraints() const { return m_translatesAutoresizingMask; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates) { m_translatesAutoresizingMask = translates; }
    // Made on first use, as every view has one.
    id layer();
    // UIViewContentMode (0 scale to fill, 1 aspect fit, 2 aspect fill, …): kept, not drawn.
    long long contentMode() const { return m_contentMode; }
    void setContentMode(long long mode) { ScreenChanges::setDrawn(m_contentMode, mode); }
    unsigned long long autoresizingMask() const { return m_autoresizingMask; }
    void setAutoresizingMask(unsigned long long mask) { m_autoresizingMask = mask; }
    // The tint colour set on this view, else the nearest superview's, else nil.
    id tintColor() const;
    void setTintColor(const id& color) { ScreenChanges::setDrawn(m_tintColor, color); }

    const std::vector<id>& subviews() const { return m_subviews; }
    UIView* superview() const { return m_superview; }
    // The nearest UIWindow at or above this view; nullptr when in none.
    UIWindow* window() const;
    bool isDescendantOf(const UIView* ancestor) const;
    // Whether a touch can reach this view, as UIKit's hit-testing decides: it is in a
    // window, and neither it nor a view above it (the window included) is hidden, almost
    // transparent (alpha below 0.01) or closed to user interaction.
    bool receivesTouches() const;
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
    static constexpr int kMaxLayoutRounds = 8;
    void layoutIfNeeded();
    // Marks this view and every view below it as needing layout.
    void setNeedsLayoutRecursively();
    long long layoutPassCount() const { return m_layoutPasses; }

    const std::vector<id>& gestureRecognizers() const { return m_gestureRecognizers; }
    void addGestureRecognizer(const id& recognizer);
    void removeGestureRecognizer(const id& recognizer);

    // The active constraints installed on this view (it is their first item).
    const std::vector<id>& installedConstraints() const { return m_constraints; }
    // Kept by NSLayoutConstraint: every constraint that names this view, active or not.
    void rememberConstraint(NSLayoutConstraint* constraint) { m_namingConstraints.push_back(constraint); }
    void forgetConstraint(NSLayoutConstraint* constraint);
    void installConstraint(const id& constraint);
    void uninstallConstraint(NSLayoutConstraint* constraint);

    // The view that an id names, or nil when it is no view.
    static Id<UIView> from(const id& object) { return object.as<UIView>(); }

private:
    friend class UIViewController;
    void detachSubview(UIView* child);
    void notifyWindowChange();
    // Answers whether any layoutSubviews ran.
    bool layoutSubviewsBelow();
    void deactivateConstraintsLeaving(const UIView* subtree);

    CGRect m_frame {};
    CGAffineTransform m_transform {};
    double m_alpha { 1.0 };
    bool m_hidden { false };
    bool m_userInteractionEnabled { true };
    bool m_translatesAutoresizingMask { true };
    bool m_needsLayout { true };
    long long m_tag { 0 };
    long long m_layoutPasses { 0 };
    unsigned long long m_autoresizingMask { 0 };
    long long m_contentMode { 0 };
    id m_backgroundColor;
    id m_tintColor;
    id m_layer;
    std::vector<id> m_constraints;
    std::vector<NSLayoutConstraint*> m_namingConstraints;
    std::vector<id> m_subviews;
    std::vector<id> m_gestureRecognizers;
    UIView* m_superview { nullptr };
    UIViewController* m_viewController { nullptr };
};
