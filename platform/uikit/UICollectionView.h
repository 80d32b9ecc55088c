#pragma once
// UICollectionView: a scroll view that shows items that its data source gives, placed by
// its flow layout (UICollectionViewFlowLayout.h).
//
// - Cell classes are registered by reuse identifier (registerClass:forCellWithReuseIdentifier:);
//   dequeueReusableCellWithReuseIdentifier:forIndexPath: hands out a cell that left the
//   visible area (after prepareForReuse) or makes one of the registered class with
//   initWithFrame: the item's frame. Dequeuing an identifier no class was registered for
//   is a programming error (RuntimeError), as on the device.
// - The data source and the delegate are asked by selector, as on the device, and are
//   not held (set them to nil before they go): numberOfSectionsInCollectionView: (1 when
//   not answered), collectionView:numberOfItemsInSection:,
//   collectionView:cellForItemAtIndexPath: (which must answer a dequeued cell), and the
//   delegate's collectionView:layout:sizeForItemAtIndexPath: (else the layout's itemSize).
// - layoutSubviews places the cells of the items that lie in the visible area (bounds at
//   the content offset): visible cells stay, cells that left the area go back to the reuse
//   queue, then the items that came into view are asked for (and get those cells);
//   contentSize follows the layout. reloadData sends every
//   cell back and asks again at the next layout.
// - selectItemAtIndexPath (C++; a tap on an item) tells the delegate
//   collectionView:didSelectItemAtIndexPath: when it answers it.

#include "UIScrollView.h"

#include <map>
#include <string>
#include <utility>

class UICollectionView : public UIScrollView {
public:
    static void declare();

    objc_object* dataSource() const { return m_dataSource; }
    objc_object* delegate() const { return m_delegate; }
    const id& collectionViewLayout() const { return m_layout; }
    void registerClass(Class cellClass, const std::string& identifier);
    id dequeueCell(const std::string& identifier, const id& indexPath);
    void reloadData();
    void layoutCells();
    // The visible cells, in item order.
    std::vector<id> visibleCells() const;
    id cellForItem(long long item, long long section) const;
    // indexPathForCell: of a visible cell; nil for any other.
    id indexPathForCell(const id& cell) const;
    void selectItemAtIndexPath(const id& indexPath);

private:
    using ItemKey = std::pair<long long, long long>; // section, item
    std::vector<std::vector<CGSize>> itemSizes();
    void enqueue(const id& cell);

    objc_object* m_dataSource { nullptr };
    objc_object* m_delegate { nullptr };
    id m_layout;
    std::map<std::string, Class> m_registeredClasses;
    std::map<std::string, std::vector<id>> m_reuseQueues;
    std::map<ItemKey, id> m_visibleCells;
    CGRect m_frameBeingAskedFor {};
};
