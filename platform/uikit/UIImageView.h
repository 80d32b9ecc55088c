#pragma once
// UIImageView: a view showing an image (any image object; nil shows nothing).
// initWithImage: sizes the view to the image when the image tells its size.

#include "ScreenChanges.h"
#include "UIView.h"

class UIImageView : public UIView {
public:
    static void declare();

    const id& image() const { return m_image; }
    void setImage(const id& image) { ScreenChanges::setDrawn(m_image, image); }

private:
    id m_image;
};
