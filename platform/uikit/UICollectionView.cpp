#include "UICollectionView.h"

#include "NSIndexPath.h"
#include "UICollectionViewCell.h"
#include "UICollectionViewFlowLayout.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

UICollectionView& collectionOf(const id& self) { return objectAs<UICollectionView>(self, "UICollectionView"); }

bool intersects(const CGRect& a, const CGRect& b)
{
    return CGRectGetMinX(a) < CGRectGetMaxX(b) && CGRectGetMinX(b) < CGRectGetMaxX(a) && CGRectGetMinY(a) < CGRectGetMaxY(b)
        && CGRectGetMinY(b) < CGRectGetMaxY(a);
}

} // namespace

void UICollectionView::registerClass(Class cellClass, const std::string& identifier)
{
    if (cellClass && !class_isSubclassOf(cellClass, UIKitSupport::classNamed("UICollectionViewCell")))
        throw RuntimeError(fmt::format("-[UICollectionView registerClass:forCellWithReuseIdentifier:]: {} is not a UICollectionViewCell class",
            class_getName(cellClass)));
    if (cellClass)
        m_registeredClasses[identifier] = cellClass;
    else
        m_registeredClasses.erase(identifier);
}

id UICollectionView::dequeueCell(const std::string& identifier, const id& indexPath)
{
    auto registered = m_registeredClasses.find(identifier);
    if (registered == m_registeredClasses.end())
        throw RuntimeError(fmt::format("-[UICollectionView dequeueReusableCellWithReuseIdentifier:forIndexPath:]: could not dequeue a cell "
                                       "with identifier \"{}\": no class was registered for it",
            identifier));
    if (!indexPath.as<NSIndexPath>())
        throw RuntimeError("-[UICollectionView dequeueReusableCellWithReuseIdentifier:forIndexPath:]: the index path is missing");
    auto& queue = m_reuseQueues[identifier];
    if (!queue.empty()) {
        id cell = queue.back();
        queue.pop_back();
        send(cell, "prepareForReuse");
        send(cell, "setFrame:", m_frameBeingAskedFor);
        return cell;
    }
    id cell = send<id>(send<id>(registered->second, "alloc"), "initWithFrame:", m_frameBeingAskedFor);
    if (auto made = cell.as<UICollectionViewCell>())
        made->setReuseIdentifier(NSString::string(identifier));
    return cell;
}

std::vector<std::vector<CGSize>> UICollectionView::itemSizes()
{
    std::vector<std::vector<CGSize>> sizes;
    if (!m_dataSource)
        return sizes;
    id self(this);
    id source(m_dataSource);
    id delegate(m_delegate);
    long long sections = respondsToSelector(source, "numberOfSectionsInCollectionView:") ? send<long long>(source, "numberOfSectionsInCollectionView:", self) : 1;
    auto* flow = dynamic_cast<UICollectionViewFlowLayout*>(m_layout.get());
    CGSize defaultSize = flow ? flow->itemSize() : CGSizeMake(50, 50);
    bool delegateSizes = respondsToSelector(delegate, "collectionView:layout:sizeForItemAtIndexPath:");
    for (long long section = 0; section < sections; ++section) {
        long long count = send<long long>(source, "collectionView:numberOfItemsInSection:", self, section);
        std::vector<CGSize> items;
        for (long long item = 0; item < count; ++item)
            items.push_back(delegateSizes ? send<CGSize>(delegate, "collectionView:layout:sizeForItemAtIndexPath:", self, m_layout, NSIndexPath::indexPath(item, section))
                                          : defaultSize);
        sizes.push_back(std::move(items));
    }
    return sizes;
}

void UICollectionView::layoutCells()
{
    id self(this);
    auto sizes = itemSizes();
    auto* flow = dynamic_cast<UICollectionViewFlowLayout*>(m_layout.get());
    UICollectionViewFlowLayout::Placement placement;
    if (flow)
        placement = flow->place(sizes, bounds().size);
    setContentSize(placement.contentSize);
    CGRect visible { contentOffset(), bounds().size };

    std::map<ItemKey, CGRect> inView;
    for (size_t section = 0; section < placement.frames.size(); ++section) {
        for (size_t item = 0; item < placement.frames[section].size(); ++item) {
            if (intersects(placement.frames[section][item], visible))
                inView[{ static_cast<long long>(section), static_cast<long long>(item) }] = placement.frames[section][item];
        }
    }
    // Cells scrolled out of view go back to the reuse queues first, so the items coming
    // into view get them.
    for (auto shown = m_visibleCells.begin(); shown != m_visibleCells.end();) {
        if (inView.count(shown->first)) {
            ++shown;
            continue;
        }
        enqueue(shown->second);
        shown = m_visibleCells.erase(shown);
    }
    for (const auto& [key, frame] : inView) {
        id cell;
        if (auto kept = m_visibleCells.find(key); kept != m_visibleCells.end()) {
            cell = kept->second;
        } else {
            m_frameBeingAskedFor = frame;
            cell = send<id>(id(m_dataSource), "collectionView:cellForItemAtIndexPath:", self, NSIndexPath::indexPath(key.second, key.first));
            if (!cell.as<UICollectionViewCell>())
                throw RuntimeError(fmt::format("-[UICollectionView layoutSubviews]: the data source answered {} for item {} of section {}, "
                                               "not a dequeued UICollectionViewCell",
                    cell ? object_getClassName(cell) : "nil", key.second, key.first));
            m_visibleCells[key] = cell;
        }
        send(cell, "setFrame:", frame);
        if (UIView::from(cell)->superview() != this)
            send(self, "addSubview:", cell);
    }
}

void UICollectionView::enqueue(const id& cell)
{
    send(cell, "removeFromSuperview");
    auto identifier = cell.as<UICollectionViewCell>()->reuseIdentifier().as<NSString>();
    m_reuseQueues[identifier ? identifier->utf8() : std::string()].push_back(cell);
}

void UICollectionView::reloadData()
{
    for (auto& [key, cell] : m_visibleCells)
        enqueue(cell);
    m_visibleCells.clear();
    setNeedsLayout();
}

std::vector<id> UICollectionView::visibleCells() const
{
    std::vector<id> cells;
    for (const auto& [key, cell] : m_visibleCells)
        cells.push_back(cell);
    return cells;
}

id UICollectionView::cellForItem(long long item, long long section) const
{
    auto found = m_visibleCells.find({ section, item });
    return found == m_visibleCells.end() ? nil : found->second;
}

id UICollectionView::indexPathForCell(const id& cell) const
{
    for (const auto& [key, visible] : m_visibleCells) {
        if (visible == cell)
            return NSIndexPath::indexPath(key.second, key.first);
    }
    return nil;
}

void UICollectionView::selectItemAtIndexPath(const id& indexPath)
{
    id delegate(m_delegate);
    if (respondsToSelector(delegate, "collectionView:didSelectItemAtIndexPath:"))
        send(delegate, "collectionView:didSelectItemAtIndexPath:", id(this), indexPath);
}

void UICollectionView::declare()
{
    ClassBuilder("UICollectionView", "UIScrollView")
        .instancesOf<UICollectionView>()
        .method("initWithFrame:collectionViewLayout:", [](id self, SEL, CGRect frame, id layout) -> id {
            if (!layout.as<UICollectionViewFlowLayout>())
                throw RuntimeError(fmt::format("-[UICollectionView initWithFrame:collectionViewLayout:]: {} is not a layout this UIKit places items with",
                    layout ? object_getClassName(layout) : "nil"));
            self = send<id>(self, "initWithFrame:", frame);
            collectionOf(self).m_layout = layout;
            return self;
        })
        .method("collectionViewLayout", [](id self, SEL) -> id { return collectionOf(self).collectionViewLayout(); })
        .method("dataSource", [](id self, SEL) -> id { return id(collectionOf(self).m_dataSource); })
        .method("setDataSource:", [](id self, SEL, id source) {
            collectionOf(self).m_dataSource = source.get();
            collectionOf(self).reloadData();
        })
        .method("delegate", [](id self, SEL) -> id { return id(collectionOf(self).m_delegate); })
        .method("setDelegate:", [](id self, SEL, id delegate) {
            collectionOf(self).m_delegate = delegate.get();
            collectionOf(self).setNeedsLayout();
        })
        .method("registerClass:forCellWithReuseIdentifier:", [](id self, SEL, Class cellClass, id identifier) {
            collectionOf(self).registerClass(cellClass, UIKitSupport::stringValue(identifier));
        })
        .method("dequeueReusableCellWithReuseIdentifier:forIndexPath:", [](id self, SEL, id identifier, id indexPath) -> id {
            return collectionOf(self).dequeueCell(UIKitSupport::stringValue(identifier), indexPath);
        })
        .method("reloadData", [](id self, SEL) { collectionOf(self).reloadData(); })
        .method("visibleCells", [](id self, SEL) -> id { return NSArray::array(collectionOf(self).visibleCells()); })
        .method("cellForItemAtIndexPath:", [](id self, SEL, id indexPath) -> id {
            auto path = indexPath.as<NSIndexPath>();
            return path ? collectionOf(self).cellForItem(path->item(), path->section()) : nil;
        })
        .method("indexPathForCell:", [](id self, SEL, id cell) -> id { return collectionOf(self).indexPathForCell(cell); })
        .method("numberOfItemsInSection:", [](id self, SEL, long long section) -> long long {
            auto sizes = collectionOf(self).itemSizes();
            return section >= 0 && section < static_cast<long long>(sizes.size()) ? static_cast<long long>(sizes[section].size()) : 0;
        })
        .method("layoutSubviews", [](id self, SEL) {
            sendSuper(objc_getClass("UICollectionView"), self, "layoutSubviews");
            collectionOf(self).layoutCells();
        });
}
