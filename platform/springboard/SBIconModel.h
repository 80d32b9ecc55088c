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
// The model knows every app whose icon it made (the installed apps, as far as this
// SpringBoard has seen them), placed or not: an icon that a list refused stays known.
// layout lays the icons out again: each known app's icon that no list holds is put back
// at the end of the last page with addIcon:asDirty: (by message), as SpringBoard places
// an app it finds without a place; when one was placed, the layout is saved. It emits
// "icon-model-layout" {icons, placed}.
//
// Messages: initWithStore:, store, iconLists (the pages' list models), dock,
// importState:, iconState (the layout as an icon-state dictionary, keys the loaded state
// had beside "buttonBar" and "iconLists" kept), applicationIconForBundleIdentifier:,
// removeIcon: (from whichever list has it; the app is deleted, so no longer known),
// loadAllIcons, saveIconState (saveCurrentIconState:error: on the store, by message),
// layout.

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
    // The app's icon on the home screen (pages or dock), or nil.
    id applicationIcon(const std::string& bundleIdentifier) const;
    // The app's icon, placed or not, or nil when the model never made one.
    id knownApplicationIcon(const std::string& bundleIdentifier) const;
    void removeIcon(const id& icon);
    // The list of page `index`; index == number of pages appends an empty page. nil past that.
    id page(size_t index, bool appendIfNext);
    // The list that holds the icon, or nil.
    id listContaining(const id& icon) const;
    void loadAllIcons();
    bool saveIconState();
    // Puts back the known apps' icons that no list holds; answers how many were placed.
    int layout();
    long long layoutCount() const { return m_layoutCount; }
    // Every application icon's bundle identifier: the pages in order, then the dock.
    std::vector<std::string> allBundleIdentifiers() const;

private:
    id makeList(const id& entries);
    id iconForEntry(const id& entry);
    std::vector<id> allLists() const;

    id m_store;
    id m_dock;
    std::vector<id> m_pages;
    std::vector<std::pair<std::string, id>> m_otherStateKeys;
    std::vector<std::pair<std::string, id>> m_knownApplicationIcons; // in the order first seen
    long long m_layoutCount { 0 };
};
