#include "UICollectionViewCell.h"

#include "LayoutEngine.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

void UICollectionViewCell::declare()
{
    ClassBuilder("UICollectionViewCell", "UIView")
        .instancesOf<UICollectionViewCell>()
        .method("initWithFrame:", [](id self, SEL, CGRect frame) -> id {
            self = sendSuper<id>(objc_getClass("UICollectionViewCell"), self, "initWithFrame:", frame);
            auto& cell = objectAs<UICollectionViewCell>(self, "UICollectionViewCell");
            if (!cell.m_contentView) {
                cell.m_contentView = UIKitSupport::allocInitWithFrame("UIView", CGRect { CGPointZero, frame.size });
                send(cell.m_contentView, "setAutoresizingMask:", static_cast<unsigned long long>(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight));
                send(self, "addSubview:", cell.m_contentView);
            }
            return self;
        })
        .method("contentView", [](id self, SEL) -> id { return objectAs<UICollectionViewCell>(self, "UICollectionViewCell").contentView(); })
        .method("reuseIdentifier", [](id self, SEL) -> id { return objectAs<UICollectionViewCell>(self, "UICollectionViewCell").reuseIdentifier(); })
        .method("prepareForReuse", [](id, SEL) { });
}
