#pragma once
// UIButton: a control with an image and a title per control state (setImage:forState:,
// imageForState:, setTitle:forState:, titleForState:, currentImage, currentTitle; a state
// without its own falls back to the normal state's), image edge insets
// (setImageEdgeInsets:, "{UIEdgeInsets=dddd}"), and the view's tint colour, with which a
// template image is drawn. buttonWithType: makes a button with a zero frame (0 custom,
// 1 system).
//
// Intrinsic content size: the image's size and the title's (UIFont's fixed metric, 15-point
// system font) side by side, the taller of the two high; 0 by 0 with neither.

#include "UIControl.h"
#include "UIGeometry.h"

#include <map>

class UIButton : public UIControl {
public:
    static void declare();

    id imageForState(unsigned long long state) const;
    id titleForState(unsigned long long state) const;
    UIEdgeInsets imageEdgeInsets() const { return m_imageEdgeInsets; }
    long long buttonType() const { return m_buttonType; }
    CGSize intrinsicContentSize() const;

private:
    std::map<unsigned long long, id> m_images;
    std::map<unsigned long long, id> m_titles;
    UIEdgeInsets m_imageEdgeInsets {};
    long long m_buttonType { 0 };
};
