#include "SBIconListModel.h"

#include "SBIcon.h"
#include "ScreenChanges.h"
#include "UIKitSupport.h"

#include <algorithm>

using UIKitSupport::objectAs;

namespace {

SBIconListModel& listOf(const id& self) { return objectAs<SBIconListModel>(self, "SBIconListModel"); }

} // namespace

bool SBIconListModel::contains(const id& icon) const
{
    return icon && std::find(m_icons.begin(), m_icons.end(), icon) != m_icons.end();
}

id SBIconListModel::place(const id& icon, unsigned long long index)
{
    if (!icon)
        return nil;
    std::erase(m_icons, icon);
    index = std::min<unsigned long long>(index, m_icons.size());
    m_icons.insert(m_icons.begin() + static_cast<long long>(index), icon);
    m_dirty = true;
    ScreenChanges::markChanged();
    return icon;
}

id SBIconListModel::add(const id& icon, bool dirty)
{
    if (!icon)
        return nil;
    if (!contains(icon)) {
        m_icons.push_back(icon);
        ScreenChanges::markChanged();
    }
    m_dirty = m_dirty || dirty;
    return icon;
}

bool SBIconListModel::remove(const id& icon)
{
    bool removed = std::erase(m_icons, icon) > 0;
    m_dirty = m_dirty || removed;
    if (removed)
        ScreenChanges::markChanged();
    return removed;
}

std::vector<std::string> SBIconListModel::bundleIdentifiers() const
{
    std::vector<std::string> result;
    for (const auto& icon : m_icons) {
        if (auto bundleID = icon.as<SBIcon>()->bundleIdentifier(); !bundleID.empty())
            result.push_back(bundleID);
    }
    return result;
}

std::vector<id> SBIconListModel::stateEntries() const
{
    std::vector<id> result;
    for (const auto& icon : m_icons) {
        if (id entry = icon.as<SBIcon>()->stateEntry())
            result.push_back(entry);
    }
    return result;
}

void SBIconListModel::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBIconListModel>()
        .method("icons", [](id self, SEL) -> id { return NSArray::array(listOf(self).icons()); })
        .method("numberOfIcons", [](id self, SEL) -> unsigned long long { return listOf(self).icons().size(); })
        .method("iconAtIndex:", [](id self, SEL, unsigned long long index) -> id {
            const auto& icons = listOf(self).icons();
            return index < icons.size() ? icons[index] : nil;
        })
        .method("indexForIcon:", [](id self, SEL, id icon) -> unsigned long long {
            const auto& icons = listOf(self).icons();
            auto found = std::find(icons.begin(), icons.end(), icon);
            return found == icons.end() ? NSNotFound : static_cast<unsigned long long>(found - icons.begin());
        })
        .method("containsIcon:", [](id self, SEL, id icon) -> bool { return listOf(self).contains(icon); })
        .method("placeIcon:atIndex:", [](id self, SEL, id icon, unsigned long long index) -> id { return listOf(self).place(icon, index); })
        .method("insertIcon:atIndex:options:", [](id self, SEL, id icon, unsigned long long index, unsigned long long) -> id {
            return listOf(self).place(icon, index);
        })
        .method("addIcon:asDirty:", [](id self, SEL, id icon, bool dirty) -> id { return listOf(self).add(icon, dirty); })
        .method("removeIcon:", [](id self, SEL, id icon) { listOf(self).remove(icon); });
}
