#pragma once
// SBIconController: the home screen's icons (sharedInstance). init makes its `model`
// (SBIconModel on an SBDefaultIconModelStore). viewDidLoad puts the SBRootFolderView in
// its view and, on iOS 14, the App Library (SBHLibraryViewController, a child controller
// whose view sits right of the pages). viewWillAppear: is UIViewController's.
//
// iconCloseBoxTapped: ("v@:@", an SBIconView, or the icon itself) deletes the app: the
// icon leaves the model, the layout is saved (saveIconState), the app's process ends and
// its switcher card goes; emits "icon-deleted" {bundleIdentifier}.

#include "UIViewController.h"

class SBIconController : public UIViewController {
public:
    static void declare(ClassBuilder&, int iosMajor);

    const id& model() const { return m_model; }
    const id& rootFolderView() const { return m_rootFolderView; }
    const id& libraryViewController() const { return m_libraryViewController; }

private:
    id m_model;
    id m_rootFolderView;
    id m_libraryViewController;
};
