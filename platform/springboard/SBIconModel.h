#pragma once
// SBIconModel: the home screen's icons, one SBIconListModel per page and one for the dock,
// read from and written to an SBDefaultIconModelStore.
//
// loadAllIcons asks the store for the layout (loadCurrentIconState:, by message), then
// puts every entry into its list with addIcon:asDirty: (by message, so a replacement may
// refuse icons). When the lists then differ from what was loaded (icons were refused),
// SpringBoard saves the layout it shows (saveIconState). A missing layout gives an empty
// home screen.
//
// Messages: initWithStore:, store, iconLists (the pages' list models), dock,
// importState:, iconState (the layout as an icon-state dictionary, keys the loaded state
// had beside "buttonBar" and "iconLists" kept), applicationIconForBundleIdentifier:,
// removeIcon: (from whichever list has it), loadAllIcons, saveIconState
// (saveCurrentIconState:error: on the store, by message), layout (lays the icons out
// again; emits "icon-model-layout" {icons}).

#include "ClassBuilder.h"
#include "NSObjectValues.h"

#include <string>
#include <vector>

class SBIconModel : public objc_object {
public:
    static void declare(ClassBuilder&, int iosMajor);

    const id& store() const { return m_store; }
    const std::vector<id>& pages() const { return m_pages; }
    const id& dock() const { return m_dock; }
    void importState(const id& state);
    Id<NSDictionary> exportState() const;
    id applicationIcon(const std::string& bundleIdentifier) const;
    void removeIcon(const id& icon);
    // The list of page `index`; index == number of pages appends an empty page. nil past that.
    id page(size_t index, bool appendIfNext);
    // The list that holds the icon, or nil.
    id listContaining(const id& icon) const;
    void loadAllIcons();
    bool saveIconState();
    long long layoutCount() const { return m_layoutCount; }
    // Every application icon's bundle identifier: the pages in order, then the dock.
    std::vector<std::string> allBundleIdentifiers() const;

private:
    id makeList(const id& entries);
    std::vector<id> allLists() const;

    id m_store;
    id m_dock;
    std::vector<id> m_pages;
    std::vector<std::pair<std::string, id>> m_otherStateKeys;
    long long m_layoutCount { 0 };
};
