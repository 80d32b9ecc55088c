#include "UIImageView.h"

#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

UIImageView& imageViewOf(const id& self) { return objectAs<UIImageView>(self, "UIImageView"); }

} // namespace

void UIImageView::declare()
{
    ClassBuilder("UIImageView", "UIView")
        .instancesOf<UIImageView>()
        .method("initWithImage:", [](id self, SEL, id image) -> id {
            CGRect frame = CGRectZero;
            if (respondsToSelector(image, "size"))
                frame.size = send<CGSize>(image, "size");
            self = send<id>(self, "initWithFrame:", frame);
            imageViewOf(self).setImage(image);
            return self;
        })
        .method("image", [](id self, SEL) -> id { return imageViewOf(self).image(); })
        .method("intrinsicContentSize", [](id self, SEL) -> CGSize {
            const id& image = imageViewOf(self).image();
            return respondsToSelector(image, "size") ? send<CGSize>(image, "size") : CGSize { -1, -1 };
        })
        .method("setImage:", [](id self, SEL, id image) { imageViewOf(self).setImage(image); });
}
