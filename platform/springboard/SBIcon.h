#pragma once
// The home screen's icons: SBIcon and its kinds SBLeafIcon, SBApplicationIcon (an app,
// named by its bundle identifier: applicationBundleID) and SBFolderIcon. One C++ type
// serves all of them. Each icon keeps the icon-state entry it stands for (the bundle
// identifier for an app, the folder's dictionary for a folder, the entry as it was for
// anything else), so that saving the layout writes back what was loaded.
//
// Messages: applicationBundleID (nil but for application icons), displayName,
// nodeIdentifier (the icon-state entry), isApplicationIcon, isFolderIcon, and
// -[SBLeafIcon initWithLeafIdentifier:applicationBundleID:].

#include "ClassBuilder.h"

#include <string>

class SBIcon : public objc_object {
public:
    static void declareIcon(ClassBuilder&, int iosMajor);
    static void declareLeafIcon(ClassBuilder&, int iosMajor);
    static void declareApplicationIcon(ClassBuilder&, int iosMajor);
    static void declareFolderIcon(ClassBuilder&, int iosMajor);

    // The icon for an entry of the icon state: a string is an application, a dictionary
    // with "iconLists" a folder, anything else a leaf icon that keeps the entry.
    static id iconForStateEntry(const id& entry);
    static id applicationIcon(const std::string& bundleIdentifier);

    const id& applicationBundleID() const { return m_applicationBundleID; }
    std::string bundleIdentifier() const;
    const id& stateEntry() const { return m_stateEntry; }

private:
    id m_applicationBundleID;
    id m_displayName;
    id m_stateEntry;
};
