#include "UIView.h"

#include "LayoutEngine.h"
#include "NSLayoutAnchor.h"
#include "UIGestureRecognizer.h"
#include "UIKitSupport.h"
#include "UITraitCollection.h"
#include "UIViewController.h"
#include "UIWindow.h"

#include <algorithm>
#include <set>

using UIKitSupport::objectAs;

namespace {

UIView& viewOf(const id& self) { return objectAs<UIView>(self, "UIView"); }

Id<UIView> requireView(const id& object, const char* operation)
{
    auto view = UIView::from(object);
    if (object && !view)
        throw RuntimeError(fmt::format("{}: {} is not a view", operation, object_getClassName(object)));
    return view;
}

void sendDidMoveToWindow(UIView* view)
{
    send(id(view), "didMoveToWindow");
    auto children = view->subviews();
    for (const auto& child : children)
        sendDidMoveToWindow(UIView::from(child).get());
}

} // namespace

UIView::~UIView()
{
    auto naming = m_namingConstraints;
    for (NSLayoutConstraint* constraint : naming)
        constraint->viewWillBeForgotten(this);
    for (auto& child : m_subviews) {
        if (auto view = from(child))
            view->m_superview = nullptr;
    }
    for (auto& recognizer : m_gestureRecognizers) {
        if (auto gesture = recognizer.as<UIGestureRecognizer>())
            gesture->detach(this);
    }
}

void UIView::setFrame(CGRect frame)
{
    CGSize oldSize = m_frame.size;
    ScreenChanges::setDrawn(m_frame, frame);
    if (frame.size == oldSize)
        return;
    m_needsLayout = true;
    // Subviews that keep their frames follow the new size by their autoresizing masks.
    for (const auto& item : m_subviews) {
        auto child = from(item);
        if (child->m_translatesAutoresizingMask && child->m_autoresizingMask)
            child->setFrame(LayoutEngine::autoresizedFrame(child->m_frame, child->m_autoresizingMask, oldSize, frame.size));
    }
}

id UIView::tintColor() const
{
    for (const UIView* view = this; view; view = view->m_superview) {
        if (view->m_tintColor)
            return view->m_tintColor;
    }
    return nil;
}

void UIView::forgetConstraint(NSLayoutConstraint* constraint)
{
    std::erase(m_namingConstraints, constraint);
}

void UIView::installConstraint(const id& constraint)
{
    m_constraints.push_back(constraint);
    m_needsLayout = true;
}

void UIView::uninstallConstraint(NSLayoutConstraint* constraint)
{
    id keepAlive(constraint);
    std::erase_if(m_constraints, [&](const id& installed) { return installed.get() == constraint; });
    m_needsLayout = true;
}

// The view `subtree` leaves its hierarchy: constraints between a view inside it and one
// outside can no longer hold, and go, as on the device.
void UIView::deactivateConstraintsLeaving(const UIView* subtree)
{
    auto naming = m_namingConstraints;
    for (NSLayoutConstraint* constraint : naming) {
        if (!constraint->isActive())
            continue;
        UIView* first = constraint->firstItem();
        UIView* second = constraint->secondItem();
        bool firstInside = first && first->isDescendantOf(subtree);
        bool secondInside = !second || second->isDescendantOf(subtree);
        if (firstInside != secondInside)
            constraint->setActive(false);
    }
    for (const auto& child : m_subviews)
        from(child)->deactivateConstraintsLeaving(subtree);
}

void UIView::setBounds(CGRect bounds)
{
    CGPoint keptCenter = center();
    setFrame({ { keptCenter.x - bounds.size.width / 2, keptCenter.y - bounds.size.height / 2 }, bounds.size });
}

void UIView::setCenter(CGPoint center)
{
    ScreenChanges::setDrawn(m_frame.origin, CGPoint { center.x - m_frame.size.width / 2, center.y - m_frame.size.height / 2 });
}

id UIView::layer()
{
    if (!m_layer)
        m_layer = UIKitSupport::allocInit("CALayer");
    return m_layer;
}

bool UIView::clipsToBounds() const
{
    return m_layer && send<bool>(m_layer, "masksToBounds");
}

void UIView::setClipsToBounds(bool clips)
{
    send(layer(), "setMasksToBounds:", clips);
}

UIWindow* UIView::window() const
{
    for (const UIView* view = this; view; view = view->m_superview) {
        if (auto* window = dynamic_cast<const UIWindow*>(view))
            return const_cast<UIWindow*>(window);
    }
    return nullptr;
}

bool UIView::isDescendantOf(const UIView* ancestor) const
{
    for (const UIView* view = this; view; view = view->m_superview) {
        if (view == ancestor)
            return true;
    }
    return false;
}

void UIView::addSubview(const id& view)
{
    insertSubview(view, static_cast<long long>(m_subviews.size()));
}

void UIView::insertSubview(const id& view, long long index)
{
    auto child = requireView(view, "-[UIView insertSubview:atIndex:]");
    if (!child)
        return;
    if (isDescendantOf(child.get()))
        throw RuntimeError(fmt::format("-[{} addSubview:]: can't add a view to itself or to a view below it", object_getClassName(id(this))));
    if (child->m_superview == this) {
        // Only a change of order: the view stays where it is in the hierarchy.
        auto oldIndex = std::find(m_subviews.begin(), m_subviews.end(), view) - m_subviews.begin();
        std::erase(m_subviews, view);
        index = std::clamp<long long>(index, 0, static_cast<long long>(m_subviews.size()));
        m_subviews.insert(m_subviews.begin() + index, view);
        m_needsLayout = true;
        if (index != oldIndex)
            ScreenChanges::markChanged();
        return;
    }
    UIWindow* oldWindow = child->window();
    if (child->m_superview)
        child->m_superview->detachSubview(child.get());
    index = std::clamp<long long>(index, 0, static_cast<long long>(m_subviews.size()));
    m_subviews.insert(m_subviews.begin() + index, child);
    child->m_superview = this;
    m_needsLayout = true;
    child->m_needsLayout = true;
    ScreenChanges::markChanged();
    send(id(child), "didMoveToSuperview");
    if (child->window() != oldWindow)
        child->notifyWindowChange();
}

void UIView::removeFromSuperview()
{
    if (!m_superview)
        return;
    id keepAlive(this);
    UIWindow* oldWindow = window();
    m_superview->detachSubview(this);
    send(keepAlive, "didMoveToSuperview");
    if (oldWindow)
        notifyWindowChange();
}

void UIView::detachSubview(UIView* child)
{
    id keepAlive(child);
    send(id(this), "willRemoveSubview:", keepAlive);
    child->deactivateConstraintsLeaving(child);
    std::erase_if(m_subviews, [&](const id& view) { return view.get() == child; });
    child->m_superview = nullptr;
    m_needsLayout = true;
    ScreenChanges::markChanged();
}

void UIView::bringSubviewToFront(const id& view)
{
    auto found = std::find(m_subviews.begin(), m_subviews.end(), view);
    if (found == m_subviews.end() || found + 1 == m_subviews.end())
        return;
    id kept = *found;
    m_subviews.erase(found);
    m_subviews.push_back(kept);
    ScreenChanges::markChanged();
}

void UIView::sendSubviewToBack(const id& view)
{
    auto found = std::find(m_subviews.begin(), m_subviews.end(), view);
    if (found == m_subviews.end() || found == m_subviews.begin())
        return;
    id kept = *found;
    m_subviews.erase(found);
    m_subviews.insert(m_subviews.begin(), kept);
    ScreenChanges::markChanged();
}

void UIView::notifyWindowChange()
{
    sendDidMoveToWindow(this);
}

void UIView::layoutIfNeeded()
{
    id self(this);
    UIView* root = this;
    while (root->m_superview)
        root = root->m_superview;
    id keepRoot(root);
    std::set<std::string> reported;
    for (int round = 0; round < kMaxLayoutRounds; ++round) {
        LayoutEngine::layoutHierarchy(root, &reported);
        if (!layoutSubviewsBelow())
            return;
    }
}

bool UIView::layoutSubviewsBelow()
{
    id self(this);
    bool ran = false;
    if (m_needsLayout) {
        m_needsLayout = false;
        send(self, "layoutSubviews");
        ran = true;
    }
    auto children = m_subviews;
    for (const auto& child : children)
        ran = from(child)->layoutSubviewsBelow() || ran;
    return ran;
}

void UIView::setNeedsLayoutRecursively()
{
    m_needsLayout = true;
    for (const auto& child : m_subviews)
        from(child)->setNeedsLayoutRecursively();
}

void UIView::addGestureRecognizer(const id& recognizer)
{
    auto gesture = recognizer.as<UIGestureRecognizer>();
    if (!gesture) {
        if (recognizer)
            throw RuntimeError(fmt::format("-[UIView addGestureRecognizer:]: {} is not a gesture recognizer", object_getClassName(recognizer)));
        return;
    }
    if (gesture->view() == this)
        return;
    if (UIView* previous = gesture->view())
        previous->removeGestureRecognizer(recognizer);
    m_gestureRecognizers.push_back(recognizer);
    gesture->attach(this);
}

void UIView::removeGestureRecognizer(const id& recognizer)
{
    auto found = std::find(m_gestureRecognizers.begin(), m_gestureRecognizers.end(), recognizer);
    if (found == m_gestureRecognizers.end())
        return;
    id kept = *found;
    m_gestureRecognizers.erase(found);
    kept.as<UIGestureRecognizer>()->attach(nullptr);
}

bool UIView::receivesTouches() const
{
    if (!window())
        return false;
    for (const UIView* view = this; view; view = view->superview()) {
        if (view->isHidden() || view->alpha() < 0.01 || !view->isUserInteractionEnabled())
            return false;
    }
    return true;
}

void UIView::declare()
{
    ClassBuilder("UIView", "UIResponder")
        .instancesOf<UIView>()
        .method("initWithFrame:", [](id self, SEL, CGRect frame) -> id {
            viewOf(self).setFrame(frame);
            return self;
        })
        .method("init", [](id self, SEL) -> id { return send<id>(self, "initWithFrame:", CGRectZero); })
        .method("frame", [](id self, SEL) -> CGRect { return viewOf(self).frame(); })
        .method("setFrame:", [](id self, SEL, CGRect frame) { viewOf(self).setFrame(frame); })
        .method("bounds", [](id self, SEL) -> CGRect { return viewOf(self).bounds(); })
        .method("setBounds:", [](id self, SEL, CGRect bounds) { viewOf(self).setBounds(bounds); })
        .method("center", [](id self, SEL) -> CGPoint { return viewOf(self).center(); })
        .method("setCenter:", [](id self, SEL, CGPoint center) { viewOf(self).setCenter(center); })
        .method("transform", [](id self, SEL) -> CGAffineTransform { return viewOf(self).transform(); })
        .method("setTransform:", [](id self, SEL, CGAffineTransform transform) { viewOf(self).setTransform(transform); })
        .method("alpha", [](id self, SEL) -> double { return viewOf(self).alpha(); })
        .method("setAlpha:", [](id self, SEL, double alpha) { viewOf(self).setAlpha(alpha); })
        .method("isHidden", [](id self, SEL) -> bool { return viewOf(self).isHidden(); })
        .method("setHidden:", [](id self, SEL, bool hidden) { viewOf(self).setHidden(hidden); })
        .method("clipsToBounds", [](id self, SEL) -> bool { return viewOf(self).clipsToBounds(); })
        .method("setClipsToBounds:", [](id self, SEL, bool clips) { viewOf(self).setClipsToBounds(clips); })
        .method("isUserInteractionEnabled", [](id self, SEL) -> bool { return viewOf(self).isUserInteractionEnabled(); })
        .method("setUserInteractionEnabled:", [](id self, SEL, bool enabled) { viewOf(self).setUserInteractionEnabled(enabled); })
        .method("backgroundColor", [](id self, SEL) -> id { return viewOf(self).backgroundColor(); })
        .method("setBackgroundColor:", [](id self, SEL, id color) { viewOf(self).setBackgroundColor(color); })
        .method("tag", [](id self, SEL) -> long long { return viewOf(self).tag(); })
        .method("setTag:", [](id self, SEL, long long tag) { viewOf(self).setTag(tag); })
        .method("translatesAutoresizingMaskIntoConstraints", [](id self, SEL) -> bool { return viewOf(self).translatesAutoresizingMaskIntoConstraints(); })
        .method("setTranslatesAutoresizingMaskIntoConstraints:", [](id self, SEL, bool translates) { viewOf(self).setTranslatesAutoresizingMaskIntoConstraints(translates); })
        .method("layer", [](id self, SEL) -> id { return viewOf(self).layer(); })
        .method("contentMode", [](id self, SEL) -> long long { return viewOf(self).contentMode(); })
        .method("setContentMode:", [](id self, SEL, long long mode) { viewOf(self).setContentMode(mode); })
        .method("autoresizingMask", [](id self, SEL) -> unsigned long long { return viewOf(self).autoresizingMask(); })
        .method("setAutoresizingMask:", [](id self, SEL, unsigned long long mask) { viewOf(self).setAutoresizingMask(mask); })
        .method("tintColor", [](id self, SEL) -> id { return viewOf(self).tintColor(); })
        .method("setTintColor:", [](id self, SEL, id color) { viewOf(self).setTintColor(color); })
        .method("intrinsicContentSize", [](id, SEL) -> CGSize { return { UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric }; })
        .method("traitCollection", [](id, SEL) -> id { return UITraitCollection::currentTraitCollection(); })
        .method("traitCollectionDidChange:", [](id, SEL, id) { })
        .method("constraints", [](id self, SEL) -> id { return NSArray::array(viewOf(self).installedConstraints()); })
        .method("topAnchor", [](id self, SEL) -> id { return NSLayoutAnchor::anchorFor(&viewOf(self), NSLayoutAttributeTop); })
        .method("bottomAnchor", [](id self, SEL) -> id { return NSLayoutAnchor::anchorFor(&viewOf(self), NSLayoutAttributeBottom); })
        .method("leadingAnchor", [](id self, SEL) -> id { return NSLayoutAnchor::anchorFor(&viewOf(self), NSLayoutAttributeLeading); })
        .method("trailingAnchor", [](id self, SEL) -> id { return NSLayoutAnchor::anchorFor(&viewOf(self), NSLayoutAttributeTrailing); })
        .method("leftAnchor", [](id self, SEL) -> id { return NSLayoutAnchor::anchorFor(&viewOf(self), NSLayoutAttributeLeft); })
        .method("rightAnchor", [](id self, SEL) -> id { return NSLayoutAnchor::anchorFor(&viewOf(self), NSLayoutAttributeRight); })
        .method("centerXAnchor", [](id self, SEL) -> id { return NSLayoutAnchor::anchorFor(&viewOf(self), NSLayoutAttributeCenterX); })
        .method("centerYAnchor", [](id self, SEL) -> id { return NSLayoutAnchor::anchorFor(&viewOf(self), NSLayoutAttributeCenterY); })
        .method("widthAnchor", [](id self, SEL) -> id { return NSLayoutAnchor::anchorFor(&viewOf(self), NSLayoutAttributeWidth); })
        .method("heightAnchor", [](id self, SEL) -> id { return NSLayoutAnchor::anchorFor(&viewOf(self), NSLayoutAttributeHeight); })
        .method("subviews", [](id self, SEL) -> id { return NSArray::array(viewOf(self).subviews()); })
        .method("superview", [](id self, SEL) -> id { return id(viewOf(self).superview()); })
        .method("window", [](id self, SEL) -> id { return id(viewOf(self).window()); })
        .method("isDescendantOfView:", [](id self, SEL, id view) -> bool { return view && viewOf(self).isDescendantOf(UIView::from(view).get()); })
        .method("addSubview:", [](id self, SEL, id view) { viewOf(self).addSubview(view); })
        .method("insertSubview:atIndex:", [](id self, SEL, id view, long long index) { viewOf(self).insertSubview(view, index); })
        .method("bringSubviewToFront:", [](id self, SEL, id view) { viewOf(self).bringSubviewToFront(view); })
        .method("sendSubviewToBack:", [](id self, SEL, id view) { viewOf(self).sendSubviewToBack(view); })
        .method("removeFromSuperview", [](id self, SEL) { viewOf(self).removeFromSuperview(); })
        .method("willRemoveSubview:", [](id, SEL, id) { })
        .method("didMoveToSuperview", [](id, SEL) { })
        .method("didMoveToWindow", [](id, SEL) { })
        .method("layoutSubviews", [](id self, SEL) { ++viewOf(self).m_layoutPasses; })
        .method("setNeedsLayout", [](id self, SEL) { viewOf(self).setNeedsLayout(); })
        .method("layoutIfNeeded", [](id self, SEL) { viewOf(self).layoutIfNeeded(); })
        .method("gestureRecognizers", [](id self, SEL) -> id { return NSArray::array(viewOf(self).gestureRecognizers()); })
        .method("addGestureRecognizer:", [](id self, SEL, id recognizer) { viewOf(self).addGestureRecognizer(recognizer); })
        .method("removeGestureRecognizer:", [](id self, SEL, id recognizer) { viewOf(self).removeGestureRecognizer(recognizer); })
        .method("gestureRecognizerShouldBegin:", [](id, SEL, id) -> bool { return true; })
        .method("nextResponder", [](id self, SEL) -> id {
            UIView& view = viewOf(self);
            if (view.viewController())
                return id(view.viewController());
            return id(view.superview());
        });
}
