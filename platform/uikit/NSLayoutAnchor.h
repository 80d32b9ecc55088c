#pragma once
// Layout anchors: one edge, centre or dimension of a view (topAnchor, bottomAnchor,
// leadingAnchor, trailingAnchor, leftAnchor, rightAnchor, centerXAnchor, centerYAnchor,
// widthAnchor, heightAnchor), from which equality constraints are made:
// constraintEqualToAnchor:, constraintEqualToAnchor:constant: and, on a dimension,
// constraintEqualToConstant:, constraintEqualToAnchor:multiplier:(constant:).
//
// The classes are those of UIKit: NSLayoutXAxisAnchor, NSLayoutYAxisAnchor and
// NSLayoutDimension under NSLayoutAnchor. Relating anchors of different kinds (an X-axis
// anchor to a Y-axis one) is a programming error (RuntimeError). Leading and trailing are
// left and right: the stand-in lays out left to right.

#include "NSLayoutConstraint.h"

class NSLayoutAnchor : public objc_object {
public:
    static void declare();
    // The anchor object of that attribute of the view (holds the view).
    static id anchorFor(UIView* view, NSLayoutAttribute attribute);

    UIView* view() const;
    NSLayoutAttribute attribute() const { return m_attribute; }

private:
    id m_view;
    NSLayoutAttribute m_attribute { NSLayoutAttributeNotAnAttribute };
};
