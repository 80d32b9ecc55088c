#include "NSLayoutConstraint.h"

#include "UIKitSupport.h"
#include "UILabel.h"
#include "UIView.h"

#include <cmath>

using UIKitSupport::objectAs;

namespace {

NSLayoutConstraint& constraintOf(const id& self) { return objectAs<NSLayoutConstraint>(self, "NSLayoutConstraint"); }

unsigned long long nextActivationSerial()
{
    static unsigned long long serial = 0;
    return ++serial;
}

UIView* topmostAncestor(UIView* view)
{
    while (view && view->superview())
        view = view->superview();
    return view;
}

NSLayoutAttribute attributeArgument(long long value, const char* operation)
{
    if (value < NSLayoutAttributeNotAnAttribute || value > NSLayoutAttributeCenterY)
        throw RuntimeError(fmt::format("{}: {} is not a layout attribute this UIKit knows", operation, value));
    return static_cast<NSLayoutAttribute>(value);
}

} // namespace

const char* layoutAttributeName(NSLayoutAttribute attribute)
{
    switch (attribute) {
    case NSLayoutAttributeLeft: return "left";
    case NSLayoutAttributeRight: return "right";
    case NSLayoutAttributeTop: return "top";
    case NSLayoutAttributeBottom: return "bottom";
    case NSLayoutAttributeLeading: return "leading";
    case NSLayoutAttributeTrailing: return "trailing";
    case NSLayoutAttributeWidth: return "width";
    case NSLayoutAttributeHeight: return "height";
    case NSLayoutAttributeCenterX: return "centerX";
    case NSLayoutAttributeCenterY: return "centerY";
    case NSLayoutAttributeNotAnAttribute: break;
    }
    return "notAnAttribute";
}

bool isHorizontalAttribute(NSLayoutAttribute attribute)
{
    switch (attribute) {
    case NSLayoutAttributeLeft:
    case NSLayoutAttributeRight:
    case NSLayoutAttributeLeading:
    case NSLayoutAttributeTrailing:
    case NSLayoutAttributeWidth:
    case NSLayoutAttributeCenterX:
        return true;
    default:
        return false;
    }
}

bool isDimensionAttribute(NSLayoutAttribute attribute)
{
    return attribute == NSLayoutAttributeWidth || attribute == NSLayoutAttributeHeight;
}

std::string describeViewForLayout(const UIView* view)
{
    if (!view)
        return "nil";
    std::string text = fmt::format("{}:{}", class_getName(object_getClass(view)), static_cast<const void*>(view));
    if (auto* label = dynamic_cast<const UILabel*>(view); label && !label->textString().empty())
        text += fmt::format(" '{}'", label->textString());
    return text;
}

NSLayoutConstraint::~NSLayoutConstraint()
{
    // Only an inactive constraint can be freed (an active one is held by its first item);
    // the views may still list it when it was deactivated while they went away.
    if (m_first)
        m_first->forgetConstraint(this);
    if (m_second)
        m_second->forgetConstraint(this);
}

Id<NSLayoutConstraint> NSLayoutConstraint::make(UIView* first, NSLayoutAttribute firstAttribute, UIView* second,
    NSLayoutAttribute secondAttribute, double multiplier, double constant)
{
    if (!first || firstAttribute == NSLayoutAttributeNotAnAttribute)
        throw RuntimeError("NSLayoutConstraint: a constraint needs a first view and attribute");
    if (second && secondAttribute == NSLayoutAttributeNotAnAttribute)
        throw RuntimeError(fmt::format("NSLayoutConstraint: {} is related to {} without an attribute", describeViewForLayout(first),
            describeViewForLayout(second)));
    if (!second && !isDimensionAttribute(firstAttribute))
        throw RuntimeError(fmt::format("NSLayoutConstraint: {}.{} can only be related to another view's attribute, not to a constant",
            describeViewForLayout(first), layoutAttributeName(firstAttribute)));
    if (second && isHorizontalAttribute(firstAttribute) != isHorizontalAttribute(secondAttribute))
        throw RuntimeError(fmt::format("NSLayoutConstraint: {}.{} and {}.{} lie on different axes", describeViewForLayout(first),
            layoutAttributeName(firstAttribute), describeViewForLayout(second), layoutAttributeName(secondAttribute)));
    if (!std::isfinite(multiplier) || !std::isfinite(constant))
        throw RuntimeError(fmt::format("NSLayoutConstraint: {}.{}: the multiplier and constant must be finite numbers",
            describeViewForLayout(first), layoutAttributeName(firstAttribute)));
    id made = send<id>(UIKitSupport::classNamed("NSLayoutConstraint"), "alloc");
    auto constraint = made.as<NSLayoutConstraint>();
    constraint->m_first = first;
    constraint->m_second = second;
    constraint->m_firstAttribute = firstAttribute;
    constraint->m_secondAttribute = second ? secondAttribute : NSLayoutAttributeNotAnAttribute;
    constraint->m_multiplier = multiplier;
    constraint->m_constant = constant;
    first->rememberConstraint(constraint.get());
    if (second && second != first)
        second->rememberConstraint(constraint.get());
    return constraint;
}

void NSLayoutConstraint::setConstant(double constant)
{
    if (!std::isfinite(constant))
        throw RuntimeError(fmt::format("-[NSLayoutConstraint setConstant:]: {} is not a finite number", constant));
    m_constant = constant;
    if (m_active && m_first)
        m_first->setNeedsLayout();
}

void NSLayoutConstraint::setActive(bool active)
{
    if (active == m_active)
        return;
    if (active) {
        if (!m_first || (m_secondAttribute != NSLayoutAttributeNotAnAttribute && !m_second))
            throw RuntimeError("-[NSLayoutConstraint setActive:]: a view of this constraint is gone; it cannot be activated");
        if (m_second && topmostAncestor(m_first) != topmostAncestor(m_second))
            throw RuntimeError(fmt::format("-[NSLayoutConstraint setActive:]: unable to activate {}: {} and {} have no common ancestor",
                description(), describeViewForLayout(m_first), describeViewForLayout(m_second)));
        m_active = true;
        m_activationSerial = nextActivationSerial();
        m_first->installConstraint(id(this));
        return;
    }
    m_active = false;
    if (m_first)
        m_first->uninstallConstraint(this);
}

void NSLayoutConstraint::viewWillBeForgotten(UIView* view)
{
    id keepAlive(this);
    setActive(false);
    if (m_first == view)
        m_first = nullptr;
    if (m_second == view)
        m_second = nullptr;
    view->forgetConstraint(this);
}

std::string NSLayoutConstraint::description() const
{
    std::string text = fmt::format("{}.{} ==", describeViewForLayout(m_first), layoutAttributeName(m_firstAttribute));
    if (m_secondAttribute == NSLayoutAttributeNotAnAttribute)
        return fmt::format("{} {:g}", text, m_constant);
    text += " ";
    if (m_multiplier != 1)
        text += fmt::format("{:g} * ", m_multiplier);
    text += fmt::format("{}.{}", describeViewForLayout(m_second), layoutAttributeName(m_secondAttribute));
    if (m_constant != 0)
        text += fmt::format(" {} {:g}", m_constant < 0 ? "-" : "+", std::fabs(m_constant));
    return text;
}

void NSLayoutConstraint::declare()
{
    ClassBuilder("NSLayoutConstraint", "NSObject")
        .instancesOf<NSLayoutConstraint>()
        .classMethod("constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:",
            [](id, SEL, id first, long long firstAttribute, long long relation, id second, long long secondAttribute, double multiplier,
                double constant) -> id {
                const char* operation = "+[NSLayoutConstraint constraintWithItem:…]";
                if (relation != 0)
                    throw RuntimeError(fmt::format("{}: only equal (0) relations are laid out here, not {}", operation, relation));
                auto firstView = UIView::from(first);
                auto secondView = UIView::from(second);
                if (!firstView || (second && !secondView))
                    throw RuntimeError(fmt::format("{}: the items must be views", operation));
                return make(firstView.get(), attributeArgument(firstAttribute, operation), secondView.get(),
                    attributeArgument(secondAttribute, operation), multiplier, constant);
            })
        .classMethod("activateConstraints:", [](id, SEL, id constraints) {
            if (auto list = constraints.as<NSArray>()) {
                for (const auto& constraint : *list)
                    send(constraint, "setActive:", true);
            }
        })
        .classMethod("deactivateConstraints:", [](id, SEL, id constraints) {
            if (auto list = constraints.as<NSArray>()) {
                for (const auto& constraint : *list)
                    send(constraint, "setActive:", false);
            }
        })
        .method("firstItem", [](id self, SEL) -> id { return id(constraintOf(self).firstItem()); })
        .method("secondItem", [](id self, SEL) -> id { return id(constraintOf(self).secondItem()); })
        .method("firstAttribute", [](id self, SEL) -> long long { return constraintOf(self).firstAttribute(); })
        .method("secondAttribute", [](id self, SEL) -> long long { return constraintOf(self).secondAttribute(); })
        .method("multiplier", [](id self, SEL) -> double { return constraintOf(self).multiplier(); })
        .method("constant", [](id self, SEL) -> double { return constraintOf(self).constant(); })
        .method("setConstant:", [](id self, SEL, double constant) { constraintOf(self).setConstant(constant); })
        .method("isActive", [](id self, SEL) -> bool { return constraintOf(self).isActive(); })
        .method("setActive:", [](id self, SEL, bool active) { constraintOf(self).setActive(active); })
        .method("description", [](id self, SEL) -> id { return NSString::string(constraintOf(self).description()); });
}
