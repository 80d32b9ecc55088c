#pragma once
// NSLayoutConstraint: first item's attribute == multiplier * second item's attribute +
// constant (or == constant when there is no second item). Only equalities exist here; the
// layout pass (LayoutEngine.h) solves every active one exactly.
//
// Made by the layout anchors (NSLayoutAnchor.h) or by
// constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant: (relation 0,
// equal, only). Activating one installs it on its first item, which holds it; the
// constraint does not hold its items (as on the device): when either view is freed, or
// when one is taken out of the hierarchy the other stays in, the constraint is
// deactivated and forgets it. Activating a constraint whose views have no common ancestor
// is a programming error (RuntimeError), as UIKit raises then.

#include "ClassBuilder.h"

#include <string>

class UIView;

// NSLayoutAttribute, with UIKit's values.
enum NSLayoutAttribute : long long {
    NSLayoutAttributeNotAnAttribute = 0,
    NSLayoutAttributeLeft = 1,
    NSLayoutAttributeRight = 2,
    NSLayoutAttributeTop = 3,
    NSLayoutAttributeBottom = 4,
    NSLayoutAttributeLeading = 5,
    NSLayoutAttributeTrailing = 6,
    NSLayoutAttributeWidth = 7,
    NSLayoutAttributeHeight = 8,
    NSLayoutAttributeCenterX = 9,
    NSLayoutAttributeCenterY = 10,
};

const char* layoutAttributeName(NSLayoutAttribute);
bool isHorizontalAttribute(NSLayoutAttribute);
bool isDimensionAttribute(NSLayoutAttribute);

class NSLayoutConstraint : public objc_object {
public:
    ~NSLayoutConstraint() override;
    static void declare();
    // A new, inactive constraint.
    static Id<NSLayoutConstraint> make(UIView* first, NSLayoutAttribute firstAttribute, UIView* second,
        NSLayoutAttribute secondAttribute, double multiplier, double constant);

    UIView* firstItem() const { return m_first; }
    UIView* secondItem() const { return m_second; }
    NSLayoutAttribute firstAttribute() const { return m_firstAttribute; }
    NSLayoutAttribute secondAttribute() const { return m_secondAttribute; }
    double multiplier() const { return m_multiplier; }
    double constant() const { return m_constant; }
    void setConstant(double constant);
    bool isActive() const { return m_active; }
    void setActive(bool active);
    // Order of activation: the layout pass breaks the latest of a conflicting set.
    unsigned long long activationSerial() const { return m_activationSerial; }
    // "UIButton:0x…(Respring).trailing == UIButton:0x….leading - 35"
    std::string description() const;

    // The view is going away or leaving the hierarchy: the constraint is deactivated.
    void viewWillBeForgotten(UIView* view);

private:
    UIView* m_first { nullptr };
    UIView* m_second { nullptr };
    NSLayoutAttribute m_firstAttribute { NSLayoutAttributeNotAnAttribute };
    NSLayoutAttribute m_secondAttribute { NSLayoutAttributeNotAnAttribute };
    double m_multiplier { 1 };
    double m_constant { 0 };
    bool m_active { false };
    unsigned long long m_activationSerial { 0 };
};

// How a view is named in the layout's messages: "UILabel:0x55d0c2a0 'Respring'".
std::string describeViewForLayout(const UIView* view);
