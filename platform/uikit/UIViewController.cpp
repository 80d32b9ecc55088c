#include "UIViewController.h"

#include "ScreenChanges.h"
#include "UIKitSupport.h"
#include "UIScreen.h"
#include "UIView.h"

#include <algorithm>

using UIKitSupport::objectAs;

namespace {

UIViewController& controllerOf(const id& self) { return objectAs<UIViewController>(self, "UIViewController"); }

Id<UIViewController> requireController(const id& object, const char* operation)
{
    auto controller = UIViewController::from(object);
    if (object && !controller)
        throw RuntimeError(fmt::format("{}: {} is not a view controller", operation, object_getClassName(object)));
    return controller;
}

} // namespace

UIViewController::~UIViewController()
{
    if (auto view = UIView::from(m_view))
        view->m_viewController = nullptr;
    for (auto& child : m_children)
        from(child)->m_parent = nullptr;
    if (auto presented = from(m_presented)) {
        presented->m_presenting = nullptr;
        presented->presenterWentAway();
    }
}

id UIViewController::view()
{
    if (!m_view) {
        id self(this);
        send(self, "loadView");
        if (!m_view)
            throw RuntimeError(fmt::format("-[{} loadView] did not set a view", object_getClassName(self)));
        send(self, "viewDidLoad");
    }
    return m_view;
}

void UIViewController::setView(const id& view)
{
    auto newView = UIView::from(view);
    if (view && !newView)
        throw RuntimeError(fmt::format("-[UIViewController setView:]: {} is not a view", object_getClassName(view)));
    if (auto oldView = UIView::from(m_view))
        oldView->m_viewController = nullptr;
    if (newView) {
        if (UIViewController* previousOwner = newView->m_viewController; previousOwner && previousOwner != this)
            previousOwner->m_view = nil;
        newView->m_viewController = this;
    }
    m_view = view;
}

void UIViewController::addChild(const id& child)
{
    auto controller = requireController(child, "-[UIViewController addChildViewController:]");
    if (!controller || controller.get() == this || controller->m_parent == this)
        return;
    controller->removeFromParent();
    m_children.push_back(child);
    controller->m_parent = this;
}

void UIViewController::removeFromParent()
{
    if (!m_parent)
        return;
    id keepAlive(this);
    std::erase_if(m_parent->m_children, [&](const id& c) { return c.get() == this; });
    m_parent = nullptr;
}

void UIViewController::present(const id& controller, bool animated, const id& completion)
{
    auto presented = requireController(controller, "-[UIViewController presentViewController:animated:completion:]");
    if (!presented)
        return;
    if (m_presented || presented->m_presenting) {
        Trace::emit("uikit-warning",
            { { "message",
                fmt::format("Attempt to present {} on {} which is already presenting or presented", object_getClassName(controller),
                    object_getClassName(id(this))) } });
        return;
    }
    m_presented = controller;
    presented->m_presenting = this;
    presented->beginAppearanceTransition(true, animated);
    presented->endAppearanceTransition();
    Trace::Fields fields { { "presenter", object_getClassName(id(this)) }, { "presented", object_getClassName(controller) } };
    for (auto& field : presented->presentationTraceFields())
        fields.push_back(field);
    Trace::emit("view-controller-presented", fields);
    presented->wasPresented(*this);
    ScreenChanges::markChanged();
    UIKitSupport::callBlockLeniently(completion, true);
}

void UIViewController::dismiss(bool animated, const id& completion)
{
    UIViewController* presenter = m_presented ? this : m_presenting;
    if (presenter) {
        id dismissed = presenter->m_presented;
        auto controller = from(dismissed);
        controller->beginAppearanceTransition(false, animated);
        controller->endAppearanceTransition();
        controller->m_presenting = nullptr;
        presenter->m_presented = nil;
        ScreenChanges::markChanged();
        Trace::emit("view-controller-dismissed", { { "presenter", object_getClassName(id(presenter)) }, { "presented", object_getClassName(dismissed) } });
    }
    UIKitSupport::callBlockLeniently(completion, true);
}

void UIViewController::beginAppearanceTransition(bool appearing, bool animated)
{
    bool alreadyThere = appearing ? (m_appearance == Appearance::Appearing || m_appearance == Appearance::Appeared)
                                  : (m_appearance == Appearance::Disappearing || m_appearance == Appearance::Disappeared);
    if (alreadyThere)
        return;
    id self(this);
    send<id>(self, "view");
    m_appearance = appearing ? Appearance::Appearing : Appearance::Disappearing;
    m_transitionAnimated = animated;
    send(self, appearing ? "viewWillAppear:" : "viewWillDisappear:", animated);
    auto children = m_children;
    for (const auto& child : children)
        send(child, "beginAppearanceTransition:animated:", appearing, animated);
}

void UIViewController::endAppearanceTransition()
{
    id self(this);
    if (m_appearance == Appearance::Appearing) {
        m_appearance = Appearance::Appeared;
        send(self, "viewDidAppear:", m_transitionAnimated);
    } else if (m_appearance == Appearance::Disappearing) {
        m_appearance = Appearance::Disappeared;
        send(self, "viewDidDisappear:", m_transitionAnimated);
    } else {
        return;
    }
    auto children = m_children;
    for (const auto& child : children)
        send(child, "endAppearanceTransition");
}

void UIViewController::declare()
{
    ClassBuilder("UIViewController", "UIResponder")
        .instancesOf<UIViewController>()
        .method("view", [](id self, SEL) -> id { return controllerOf(self).view(); })
        .method("viewIfLoaded", [](id self, SEL) -> id { return controllerOf(self).viewIfLoaded(); })
        .method("isViewLoaded", [](id self, SEL) -> bool { return controllerOf(self).isViewLoaded(); })
        .method("setView:", [](id self, SEL, id view) { controllerOf(self).setView(view); })
        .method("loadView", [](id self, SEL) { controllerOf(self).setView(UIKitSupport::allocInitWithFrame("UIView", UIScreen::mainScreenBounds())); })
        .method("viewDidLoad", [](id, SEL) { })
        .method("viewWillAppear:", [](id, SEL, bool) { })
        .method("viewDidAppear:", [](id, SEL, bool) { })
        .method("viewWillDisappear:", [](id, SEL, bool) { })
        .method("viewDidDisappear:", [](id, SEL, bool) { })
        .method("beginAppearanceTransition:animated:", [](id self, SEL, bool appearing, bool animated) { controllerOf(self).beginAppearanceTransition(appearing, animated); })
        .method("endAppearanceTransition", [](id self, SEL) { controllerOf(self).endAppearanceTransition(); })
        .method("title", [](id self, SEL) -> id { return controllerOf(self).title(); })
        .method("setTitle:", [](id self, SEL, id title) { controllerOf(self).setTitle(title); })
        .method("parentViewController", [](id self, SEL) -> id { return id(controllerOf(self).parent()); })
        .method("childViewControllers", [](id self, SEL) -> id { return NSArray::array(controllerOf(self).children()); })
        .method("addChildViewController:", [](id self, SEL, id child) { controllerOf(self).addChild(child); })
        .method("removeFromParentViewController", [](id self, SEL) { controllerOf(self).removeFromParent(); })
        .method("presentedViewController", [](id self, SEL) -> id { return controllerOf(self).presentedViewController(); })
        .method("presentingViewController", [](id self, SEL) -> id { return id(controllerOf(self).presentingViewController()); })
        .method("presentViewController:animated:completion:", [](id self, SEL, id controller, bool animated, id completion) {
            controllerOf(self).present(controller, animated, completion);
        })
        .method("dismissViewControllerAnimated:completion:", [](id self, SEL, bool animated, id completion) { controllerOf(self).dismiss(animated, completion); })
        .method("nextResponder", [](id self, SEL) -> id {
            auto view = UIView::from(controllerOf(self).viewIfLoaded());
            return view ? id(view->superview()) : nil;
        });
}
