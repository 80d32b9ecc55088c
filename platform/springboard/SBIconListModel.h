#pragma once
// SBIconListModel: the icons of one home-screen page (or of the dock), in order. An icon
// is in a list at most once.
//
// The three ways SpringBoard puts an icon into a list, each answering the icon placed, or
// nil when nothing was placed (a nil icon):
//   placeIcon:atIndex:            "@@:@Q"  put it at the index (moved if already there)
//   insertIcon:atIndex:options:   "@@:@QQ" the same; the options are not looked at
//   addIcon:asDirty:              "@@:@B"  put it at the end (left where it is if already
//                                          there); asDirty marks the list as changed
// Indexes past the end mean the end. Also: icons, numberOfIcons, iconAtIndex:,
// indexForIcon: (NSNotFound when absent), containsIcon:, removeIcon:.

#include "ClassBuilder.h"

#include <string>
#include <vector>

inline constexpr unsigned long long NSNotFound = 0x7fffffffffffffffULL;

class SBIconListModel : public objc_object {
public:
    static void declare(ClassBuilder&, int iosMajor);

    const std::vector<id>& icons() const { return m_icons; }
    bool contains(const id& icon) const;
    id place(const id& icon, unsigned long long index);
    id add(const id& icon, bool dirty);
    bool remove(const id& icon);
    bool isDirty() const { return m_dirty; }
    // The application icons' bundle identifiers, in order.
    std::vector<std::string> bundleIdentifiers() const;
    // The icon-state entries of the icons, in order.
    std::vector<id> stateEntries() const;

private:
    std::vector<id> m_icons;
    bool m_dirty { false };
};
