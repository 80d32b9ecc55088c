#pragma once
// CALayer: the part of a view's layer that the product sets, its corner radius and
// whether it masks its content to its bounds (the view's clipsToBounds is this flag).

#include "ClassBuilder.h"

class CALayer : public objc_object {
public:
    static void declare();

    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius) { m_cornerRadius = radius; }
    bool masksToBounds() const { return m_masksToBounds; }
    void setMasksToBounds(bool masks) { m_masksToBounds = masks; }

private:
    double m_cornerRadius { 0 };
    bool m_masksToBounds { false };
};
