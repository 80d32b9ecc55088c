#pragma once
// UITraitCollection: the traits views are drawn with; here the appearance,
// userInterfaceStyle (0 unspecified, 1 light, 2 dark). `currentTraitCollection` answers
// the process's current traits, light until the appearance is changed.
//
// setUserInterfaceStyle() is the device's appearance switch: when the style really
// changes, every view of every live window (UIApplication's windows), superviews first,
// is sent traitCollectionDidChange: with the previous trait collection.
// sendTraitCollectionDidChange() does the same for a tree that is in no window.

#include "ClassBuilder.h"

class UIView;

enum UIUserInterfaceStyle : long long {
    UIUserInterfaceStyleUnspecified = 0,
    UIUserInterfaceStyleLight = 1,
    UIUserInterfaceStyleDark = 2,
};

class UITraitCollection : public objc_object {
public:
    static void declare();
    static id currentTraitCollection();
    static id traitCollectionWithUserInterfaceStyle(UIUserInterfaceStyle style);
    static void setUserInterfaceStyle(UIUserInterfaceStyle style);
    static void sendTraitCollectionDidChange(UIView* root, const id& previous);

    UIUserInterfaceStyle userInterfaceStyle() const { return m_style; }

private:
    UIUserInterfaceStyle m_style { UIUserInterfaceStyleLight };
};
