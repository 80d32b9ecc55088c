#include "SBIconModel.h"

#include "SBIcon.h"
#include "SBIconListModel.h"
#include "ScreenChanges.h"
#include "Trace.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

SBIconModel& modelOf(const id& self) { return objectAs<SBIconModel>(self, "SBIconModel"); }

constexpr const char* dockKey = "buttonBar";
constexpr const char* pagesKey = "iconLists";

Id<NSArray> entriesOf(const id& list)
{
    return NSArray::array(list.as<SBIconListModel>()->stateEntries());
}

} // namespace

// An app's icon is made once and known from then on; other entries get an icon each time.
id SBIconModel::iconForEntry(const id& entry)
{
    auto bundleID = entry.as<NSString>();
    if (!bundleID)
        return SBIcon::iconForStateEntry(entry);
    if (id known = knownApplicationIcon(bundleID->utf8()))
        return known;
    id icon = SBIcon::iconForStateEntry(entry);
    m_knownApplicationIcons.emplace_back(bundleID->utf8(), icon);
    return icon;
}

id SBIconModel::makeList(const id& entries)
{
    id list = UIKitSupport::allocInit("SBIconListModel");
    if (auto array = entries.as<NSArray>()) {
        for (const auto& entry : *array)
            send<id>(list, "addIcon:asDirty:", iconForEntry(entry), false);
    }
    return list;
}

std::vector<id> SBIconModel::allLists() const
{
    std::vector<id> lists = m_pages;
    if (m_dock)
        lists.push_back(m_dock);
    return lists;
}

void SBIconModel::importState(const id& state)
{
    auto dictionary = state.as<NSDictionary>();
    ScreenChanges::markChanged();
    m_pages.clear();
    m_otherStateKeys.clear();
    m_dock = makeList(dictionary ? dictionary->objectForKey(dockKey) : nil);
    if (!dictionary)
        return;
    if (auto pages = dictionary->valueForKey<NSArray>(pagesKey)) {
        for (const auto& page : *pages)
            m_pages.push_back(makeList(page));
    }
    for (const auto& [key, value] : dictionary->entries()) {
        if (!key->isEqualToString(dockKey) && !key->isEqualToString(pagesKey))
            m_otherStateKeys.emplace_back(key->utf8(), value);
    }
}

Id<NSDictionary> SBIconModel::exportState() const
{
    std::vector<id> pages;
    for (const auto& page : m_pages)
        pages.push_back(entriesOf(page));
    std::vector<std::pair<std::string, id>> entries = m_otherStateKeys;
    entries.emplace_back(dockKey, m_dock ? id(entriesOf(m_dock)) : id(NSArray::array()));
    entries.emplace_back(pagesKey, NSArray::array(std::move(pages)));
    return NSDictionary::dictionary(std::move(entries));
}

id SBIconModel::applicationIcon(const std::string& bundleIdentifier) const
{
    if (bundleIdentifier.empty())
        return nil;
    for (const auto& list : allLists()) {
        for (const auto& icon : list.as<SBIconListModel>()->icons()) {
            if (icon.as<SBIcon>()->bundleIdentifier() == bundleIdentifier)
                return icon;
        }
    }
    return nil;
}

id SBIconModel::knownApplicationIcon(const std::string& bundleIdentifier) const
{
    for (const auto& [known, icon] : m_knownApplicationIcons) {
        if (known == bundleIdentifier)
            return icon;
    }
    return nil;
}

void SBIconModel::removeIcon(const id& icon)
{
    for (const auto& list : allLists())
        send(list, "removeIcon:", icon);
    std::erase_if(m_knownApplicationIcons, [&](const auto& known) { return known.second == icon; });
}

int SBIconModel::layout()
{
    ++m_layoutCount;
    int placed = 0;
    auto known = m_knownApplicationIcons;
    for (const auto& [bundleID, icon] : known) {
        if (listContaining(icon))
            continue;
        id lastPage = page(m_pages.empty() ? 0 : m_pages.size() - 1, true);
        if (send<id>(lastPage, "addIcon:asDirty:", icon, true))
            ++placed;
    }
    Trace::emit("icon-model-layout", { { "icons", std::to_string(allBundleIdentifiers().size()) }, { "placed", std::to_string(placed) } });
    if (placed)
        saveIconState();
    return placed;
}

id SBIconModel::page(size_t index, bool appendIfNext)
{
    if (index < m_pages.size())
        return m_pages[index];
    if (index == m_pages.size() && appendIfNext) {
        m_pages.push_back(UIKitSupport::allocInit("SBIconListModel"));
        return m_pages.back();
    }
    return nil;
}

id SBIconModel::listContaining(const id& icon) const
{
    for (const auto& list : allLists()) {
        if (list.as<SBIconListModel>()->contains(icon))
            return list;
    }
    return nil;
}

void SBIconModel::loadAllIcons()
{
    id error;
    id loaded = send<id>(m_store, "loadCurrentIconState:", &error);
    importState(loaded);
    if (!loaded) {
        Trace::emit("icon-model-empty", { { "reason", UIKitSupport::stringValue(error) } });
        return;
    }
    auto shown = exportState();
    auto original = loaded.as<NSDictionary>();
    bool unchanged = original && isEqual(shown->objectForKey(pagesKey), original->objectForKey(pagesKey))
        && isEqual(shown->objectForKey(dockKey), original->objectForKey(dockKey) ? original->objectForKey(dockKey) : id(NSArray::array()));
    if (!unchanged)
        saveIconState();
}

bool SBIconModel::saveIconState()
{
    id error;
    return send<bool>(m_store, "saveCurrentIconState:error:", id(exportState()), &error);
}

std::vector<std::string> SBIconModel::allBundleIdentifiers() const
{
    std::vector<std::string> result;
    for (const auto& list : allLists()) {
        for (auto& bundleID : list.as<SBIconListModel>()->bundleIdentifiers())
            result.push_back(std::move(bundleID));
    }
    return result;
}

void SBIconModel::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBIconModel>()
        .method("initWithStore:", [](id self, SEL, id store) -> id {
            modelOf(self).m_store = store;
            return self;
        })
        .method("store", [](id self, SEL) -> id { return modelOf(self).store(); })
        .method("iconLists", [](id self, SEL) -> id { return NSArray::array(modelOf(self).pages()); })
        .method("dock", [](id self, SEL) -> id { return modelOf(self).dock(); })
        .method("importState:", [](id self, SEL, id state) { modelOf(self).importState(state); })
        .method("iconState", [](id self, SEL) -> id { return modelOf(self).exportState(); })
        .method("applicationIconForBundleIdentifier:", [](id self, SEL, id bundleID) -> id {
            return modelOf(self).applicationIcon(UIKitSupport::stringValue(bundleID));
        })
        .method("removeIcon:", [](id self, SEL, id icon) { modelOf(self).removeIcon(icon); })
        .method("loadAllIcons", [](id self, SEL) { modelOf(self).loadAllIcons(); })
        .method("saveIconState", [](id self, SEL) -> bool { return modelOf(self).saveIconState(); })
        .method("layout", [](id self, SEL) { modelOf(self).layout(); });
}
