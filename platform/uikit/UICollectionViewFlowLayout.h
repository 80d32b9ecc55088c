#pragma once
// UICollectionViewLayout and UICollectionViewFlowLayout: where a collection view's items
// go. The flow layout fills lines across the scroll direction (scrollDirection 0 vertical,
// the default: rows; 1 horizontal: columns) and lines follow each other along it, as on
// the device:
// - a line takes items while they fit across the bounds (less the section insets), with
//   at least minimumInteritemSpacing between them; its thickness is its thickest item's,
//   and items thinner than that are centred in it;
// - a line holding a single item has it centred across the bounds; a full line spreads
//   its items from edge to edge; a section's last line packs them from the start;
// - lines are minimumLineSpacing apart; each section starts a new line, inside its
//   sectionInset.
// Defaults as on the device: itemSize 50 by 50, both spacings 10, insets zero.

#include "UIGeometry.h"
#include "ClassBuilder.h"

#include <vector>

enum UICollectionViewScrollDirection : long long {
    UICollectionViewScrollDirectionVertical = 0,
    UICollectionViewScrollDirectionHorizontal = 1,
};

class UICollectionViewFlowLayout : public objc_object {
public:
    static void declare();

    struct Placement {
        std::vector<std::vector<CGRect>> frames; // per section, per item
        CGSize contentSize {};
    };
    // Places items of the given sizes (per section) in a collection view of this size.
    Placement place(const std::vector<std::vector<CGSize>>& sizes, CGSize bounds) const;

    UICollectionViewScrollDirection scrollDirection() const { return m_scrollDirection; }
    CGSize itemSize() const { return m_itemSize; }

private:
    UICollectionViewScrollDirection m_scrollDirection { UICollectionViewScrollDirectionVertical };
    CGSize m_itemSize { 50, 50 };
    double m_minimumLineSpacing { 10 };
    double m_minimumInteritemSpacing { 10 };
    UIEdgeInsets m_sectionInset {};
};
