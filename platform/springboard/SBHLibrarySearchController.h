#pragma once
// SBHLibrarySearchController (iOS 14): search in the App Library. Its view is the search
// bar; searchBarShouldBeginEditing: ("B@:@", the bar as argument) answers YES, letting a
// tap start a search.

#include "UIViewController.h"

class SBHLibrarySearchController : public UIViewController {
public:
    static void declare(ClassBuilder&, int iosMajor);
};
