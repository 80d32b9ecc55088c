#pragma once
// Where SpringBoard's own drawing puts the things a finger can touch: the home screen's
// icons (first page and dock) and an alert's buttons. The renderer draws them there and
// the touch command finds them there, so what a tap reaches is what the picture shows.

#include "CoreGraphics.h"
#include "Object.h"

#include <string>
#include <vector>

namespace ScreenLayout {

struct IconPlace {
    id icon;              // an SBIcon
    CGRect square;        // in the root folder view's coordinates
    bool inDock = false;
};
// The icons of the first page and the dock, for a root folder view of `size`; none while
// the Today view shows.
std::vector<IconPlace> homeScreenIcons(const id& rootFolderView, CGSize size);
// The dock's rounded rectangle for a root folder view of `size`.
CGRect dockRect(CGSize size);

struct AlertPlace {
    CGRect box;
    CGRect title;
    CGRect message;
    std::vector<CGRect> buttons;  // in the alert's order of actions
    bool sideBySide = false;
};
// An alert (UIAlertController) centred on a screen of `size`.
AlertPlace alertPlace(const id& alert, CGSize screen);

// The name drawn under an icon: its display name (the stand-in's icons name themselves by
// their bundle identifier), or the name the system's own apps go by, or the identifier's
// last part.
std::string iconName(const id& icon);

bool contains(CGRect rect, CGPoint point);

} // namespace ScreenLayout
