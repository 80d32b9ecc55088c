#include "UICollectionViewFlowLayout.h"

#include "UIKitSupport.h"

#include <algorithm>

using UIKitSupport::objectAs;

namespace {

UICollectionViewFlowLayout& layoutOf(const id& self) { return objectAs<UICollectionViewFlowLayout>(self, "UICollectionViewFlowLayout"); }

// The layout is written once, along ("main") and across ("cross") the scroll direction;
// these turn its sizes and frames into x and y.
struct Axes {
    bool horizontal;
    double along(CGSize size) const { return horizontal ? size.width : size.height; }
    double across(CGSize size) const { return horizontal ? size.height : size.width; }
    CGRect frame(double alongOrigin, double acrossOrigin, CGSize size) const
    {
        return horizontal ? CGRect { { alongOrigin, acrossOrigin }, size } : CGRect { { acrossOrigin, alongOrigin }, size };
    }
};

} // namespace

UICollectionViewFlowLayout::Placement UICollectionViewFlowLayout::place(const std::vector<std::vector<CGSize>>& sizes, CGSize bounds) const
{
    Axes axes { m_scrollDirection == UICollectionViewScrollDirectionHorizontal };
    double insetBefore = axes.horizontal ? m_sectionInset.left : m_sectionInset.top;
    double insetAfter = axes.horizontal ? m_sectionInset.right : m_sectionInset.bottom;
    double crossStart = axes.horizontal ? m_sectionInset.top : m_sectionInset.left;
    double crossEnd = axes.horizontal ? m_sectionInset.bottom : m_sectionInset.right;
    double available = std::max(0.0, axes.across(bounds) - crossStart - crossEnd);

    Placement placement;
    double position = 0;
    for (const auto& section : sizes) {
        std::vector<CGRect> frames(section.size());
        position += insetBefore;
        size_t first = 0;
        bool anyLine = false;
        while (first < section.size()) {
            // Fill one line.
            size_t end = first;
            double used = 0;
            double thickness = 0;
            while (end < section.size()) {
                double length = axes.across(section[end]);
                double needed = used + (end > first ? m_minimumInteritemSpacing : 0) + length;
                if (end > first && needed > available)
                    break;
                used = needed;
                thickness = std::max(thickness, axes.along(section[end]));
                ++end;
            }
            if (anyLine)
                position += m_minimumLineSpacing;
            anyLine = true;
            size_t count = end - first;
            bool lastLine = end == section.size();
            double gap = m_minimumInteritemSpacing;
            double cross = crossStart;
            if (count == 1) {
                cross = crossStart + (available - axes.across(section[first])) / 2;
            } else if (!lastLine) {
                double lengths = used - m_minimumInteritemSpacing * static_cast<double>(count - 1);
                gap = (available - lengths) / static_cast<double>(count - 1);
            }
            for (size_t i = first; i < end; ++i) {
                double alongOffset = (thickness - axes.along(section[i])) / 2;
                frames[i] = axes.frame(position + alongOffset, cross, section[i]);
                cross += axes.across(section[i]) + gap;
            }
            position += thickness;
            first = end;
        }
        position += insetAfter;
        placement.frames.push_back(std::move(frames));
    }
    placement.contentSize = axes.horizontal ? CGSizeMake(position, bounds.height) : CGSizeMake(bounds.width, position);
    return placement;
}

void UICollectionViewFlowLayout::declare()
{
    ClassBuilder("UICollectionViewLayout", "NSObject");
    ClassBuilder("UICollectionViewFlowLayout", "UICollectionViewLayout")
        .instancesOf<UICollectionViewFlowLayout>()
        .method("scrollDirection", [](id self, SEL) -> long long { return layoutOf(self).m_scrollDirection; })
        .method("setScrollDirection:", [](id self, SEL, long long direction) {
            layoutOf(self).m_scrollDirection = direction == 1 ? UICollectionViewScrollDirectionHorizontal : UICollectionViewScrollDirectionVertical;
        })
        .method("itemSize", [](id self, SEL) -> CGSize { return layoutOf(self).m_itemSize; })
        .method("setItemSize:", [](id self, SEL, CGSize size) { layoutOf(self).m_itemSize = size; })
        .method("minimumLineSpacing", [](id self, SEL) -> double { return layoutOf(self).m_minimumLineSpacing; })
        .method("setMinimumLineSpacing:", [](id self, SEL, double spacing) { layoutOf(self).m_minimumLineSpacing = spacing; })
        .method("minimumInteritemSpacing", [](id self, SEL) -> double { return layoutOf(self).m_minimumInteritemSpacing; })
        .method("setMinimumInteritemSpacing:", [](id self, SEL, double spacing) { layoutOf(self).m_minimumInteritemSpacing = spacing; })
        .method("sectionInset", [](id self, SEL) -> UIEdgeInsets { return layoutOf(self).m_sectionInset; })
        .method("setSectionInset:", [](id self, SEL, UIEdgeInsets insets) { layoutOf(self).m_sectionInset = insets; });
}
