#include "NSLayoutAnchor.h"

#include "UIKitSupport.h"
#include "UIView.h"

using UIKitSupport::objectAs;

namespace {

NSLayoutAnchor& anchorOf(const id& self) { return objectAs<NSLayoutAnchor>(self, "NSLayoutAnchor"); }

const char* anchorClassFor(NSLayoutAttribute attribute)
{
    if (isDimensionAttribute(attribute))
        return "NSLayoutDimension";
    return isHorizontalAttribute(attribute) ? "NSLayoutXAxisAnchor" : "NSLayoutYAxisAnchor";
}

id constraintBetween(const id& self, const id& other, double multiplier, double constant, const char* operation)
{
    NSLayoutAnchor& anchor = anchorOf(self);
    auto otherAnchor = other.as<NSLayoutAnchor>();
    if (!otherAnchor)
        throw RuntimeError(fmt::format("-[{} {}]: {} is not a layout anchor", object_getClassName(self), operation,
            other ? object_getClassName(other) : "nil"));
    if (object_getClass(self) != object_getClass(other))
        throw RuntimeError(fmt::format("-[{} {}]: {}.{} cannot be related to {}.{} (an anchor of another kind)", object_getClassName(self),
            operation, describeViewForLayout(anchor.view()), layoutAttributeName(anchor.attribute()),
            describeViewForLayout(otherAnchor->view()), layoutAttributeName(otherAnchor->attribute())));
    return NSLayoutConstraint::make(anchor.view(), anchor.attribute(), otherAnchor->view(), otherAnchor->attribute(), multiplier, constant);
}

} // namespace

UIView* NSLayoutAnchor::view() const
{
    return dynamic_cast<UIView*>(m_view.get());
}

id NSLayoutAnchor::anchorFor(UIView* view, NSLayoutAttribute attribute)
{
    id made = send<id>(UIKitSupport::classNamed(anchorClassFor(attribute)), "alloc");
    NSLayoutAnchor& anchor = anchorOf(made);
    anchor.m_view = id(view);
    anchor.m_attribute = attribute;
    return made;
}

void NSLayoutAnchor::declare()
{
    ClassBuilder("NSLayoutAnchor", "NSObject")
        .instancesOf<NSLayoutAnchor>()
        .method("constraintEqualToAnchor:", [](id self, SEL, id other) -> id {
            return constraintBetween(self, other, 1, 0, "constraintEqualToAnchor:");
        })
        .method("constraintEqualToAnchor:constant:", [](id self, SEL, id other, double constant) -> id {
            return constraintBetween(self, other, 1, constant, "constraintEqualToAnchor:constant:");
        })
        .method("description", [](id self, SEL) -> id {
            NSLayoutAnchor& anchor = anchorOf(self);
            return NSString::string(fmt::format("{}.{}", describeViewForLayout(anchor.view()), layoutAttributeName(anchor.attribute())));
        });
    ClassBuilder("NSLayoutXAxisAnchor", "NSLayoutAnchor");
    ClassBuilder("NSLayoutYAxisAnchor", "NSLayoutAnchor");
    ClassBuilder("NSLayoutDimension", "NSLayoutAnchor")
        .method("constraintEqualToConstant:", [](id self, SEL, double constant) -> id {
            NSLayoutAnchor& anchor = anchorOf(self);
            return NSLayoutConstraint::make(anchor.view(), anchor.attribute(), nullptr, NSLayoutAttributeNotAnAttribute, 1, constant);
        })
        .method("constraintEqualToAnchor:multiplier:", [](id self, SEL, id other, double multiplier) -> id {
            return constraintBetween(self, other, multiplier, 0, "constraintEqualToAnchor:multiplier:");
        })
        .method("constraintEqualToAnchor:multiplier:constant:", [](id self, SEL, id other, double multiplier, double constant) -> id {
            return constraintBetween(self, other, multiplier, constant, "constraintEqualToAnchor:multiplier:constant:");
        });
}
