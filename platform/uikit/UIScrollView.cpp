#include "UIScrollView.h"

#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

UIScrollView& scrollViewOf(const id& self) { return objectAs<UIScrollView>(self, "UIScrollView"); }

} // namespace

void UIScrollView::declare()
{
    ClassBuilder("UIScrollView", "UIView")
        .instancesOf<UIScrollView>()
        .method("initWithFrame:", [](id self, SEL, CGRect frame) -> id {
            self = sendSuper<id>(objc_getClass("UIScrollView"), self, "initWithFrame:", frame);
            UIScrollView& scrollView = scrollViewOf(self);
            if (!scrollView.m_panGestureRecognizer) {
                id pan = send<id>(send<id>(UIKitSupport::classNamed("UIPanGestureRecognizer"), "alloc"), "initWithTarget:action:", self,
                    sel("handlePan:"));
                scrollView.m_panGestureRecognizer = pan;
                send(self, "addGestureRecognizer:", pan);
            }
            return self;
        })
        .method("handlePan:", [](id, SEL, id) { })
        .method("panGestureRecognizer", [](id self, SEL) -> id { return scrollViewOf(self).panGestureRecognizer(); })
        .method("contentSize", [](id self, SEL) -> CGSize { return scrollViewOf(self).contentSize(); })
        .method("setContentSize:", [](id self, SEL, CGSize size) { scrollViewOf(self).setContentSize(size); })
        .method("contentOffset", [](id self, SEL) -> CGPoint { return scrollViewOf(self).contentOffset(); })
        .method("setContentOffset:", [](id self, SEL, CGPoint offset) { scrollViewOf(self).setContentOffset(offset); })
        .method("isScrollEnabled", [](id self, SEL) -> bool { return scrollViewOf(self).isScrollEnabled(); })
        .method("setScrollEnabled:", [](id self, SEL, bool enabled) { scrollViewOf(self).setScrollEnabled(enabled); })
        .method("showsHorizontalScrollIndicator", [](id self, SEL) -> bool { return scrollViewOf(self).m_showsHorizontalScrollIndicator; })
        .method("setShowsHorizontalScrollIndicator:", [](id self, SEL, bool shows) { scrollViewOf(self).m_showsHorizontalScrollIndicator = shows; })
        .method("showsVerticalScrollIndicator", [](id self, SEL) -> bool { return scrollViewOf(self).m_showsVerticalScrollIndicator; })
        .method("setShowsVerticalScrollIndicator:", [](id self, SEL, bool shows) { scrollViewOf(self).m_showsVerticalScrollIndicator = shows; })
        .method("isPagingEnabled", [](id self, SEL) -> bool { return scrollViewOf(self).isPagingEnabled(); })
        .method("setPagingEnabled:", [](id self, SEL, bool enabled) { scrollViewOf(self).setPagingEnabled(enabled); });
}
