#pragma once
// CALayer: the part of a view's layer that the product sets, its corner radius, whether
// it masks its content to its bounds (the view's clipsToBounds is this flag), and its
// border: a width and a colour (a CGColor, as UIColor's CGColor answers).

#include "ClassBuilder.h"
#include "ScreenChanges.h"

class CALayer : public objc_object {
public:
    static void declare();

    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius) { ScreenChanges::setDrawn(m_cornerRadius, radius); }
    bool masksToBounds() const { return m_masksToBounds; }
    void setMasksToBounds(bool masks) { ScreenChanges::setDrawn(m_masksToBounds, masks); }
    double borderWidth() const { return m_borderWidth; }
    const id& borderColor() const { return m_borderColor; }

private:
    double m_cornerRadius { 0 };
    bool m_masksToBounds { false };
    double m_borderWidth { 0 };
    id m_borderColor;
};
