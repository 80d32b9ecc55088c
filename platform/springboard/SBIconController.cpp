#include "SBIconController.h"

#include "FBProcessManager.h"
#include "SBMainSwitcherViewController.h"
#include "SpringBoardState.h"
#include "Trace.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

SBIconController& controllerOf(const id& self) { return objectAs<SBIconController>(self, "SBIconController"); }

Class iconControllerClass() { return UIKitSupport::classNamed("SBIconController"); }

void deleteApplication(const std::string& bundleID)
{
    objectAs<FBProcessManager>(FBProcessManager::shared(), "FBProcessManager").terminate(bundleID, "deleted");
    id switcher = SpringBoardState::sharedInstanceOf("SBMainSwitcherViewController");
    objectAs<SBMainSwitcherViewController>(switcher, "SBMainSwitcherViewController").removeLayoutsOfApplication(bundleID);
}

void closeBoxTapped(const id& self, const id& tapped)
{
    id icon = respondsToSelector(tapped, "icon") ? send<id>(tapped, "icon") : tapped;
    if (!icon)
        return;
    std::string bundleID = respondsToSelector(icon, "applicationBundleID") ? UIKitSupport::stringValue(send<id>(icon, "applicationBundleID")) : "";
    id model = controllerOf(self).model();
    send(model, "removeIcon:", icon);
    send<bool>(model, "saveIconState");
    Trace::emit("icon-deleted", { { "bundleIdentifier", bundleID } });
    if (!bundleID.empty())
        deleteApplication(bundleID);
}

} // namespace

void SBIconController::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBIconController>()
        .classMethod("sharedInstance", [](id cls, SEL) -> id { return SpringBoardState::sharedInstanceOf(cls); })
        .method("init", [](id self, SEL) -> id {
            self = sendSuper<id>(iconControllerClass(), self, "init");
            id store = UIKitSupport::allocInit("SBDefaultIconModelStore");
            controllerOf(self).m_model = send<id>(send<id>(UIKitSupport::classNamed("SBIconModel"), "alloc"), "initWithStore:", store);
            return self;
        })
        .method("model", [](id self, SEL) -> id { return controllerOf(self).model(); })
        .method("viewDidLoad", [](id self, SEL) {
            sendSuper(iconControllerClass(), self, "viewDidLoad");
            auto& controller = controllerOf(self);
            id view = send<id>(self, "view");
            CGRect bounds = send<CGRect>(view, "bounds");
            controller.m_rootFolderView = UIKitSupport::allocInitWithFrame("SBRootFolderView", bounds);
            send(view, "addSubview:", controller.m_rootFolderView);
            if (SpringBoardState::shared().iosMajor >= 14) {
                controller.m_libraryViewController = UIKitSupport::allocInit("SBHLibraryViewController");
                send(self, "addChildViewController:", controller.m_libraryViewController);
                id libraryView = send<id>(controller.m_libraryViewController, "view");
                send(libraryView, "setFrame:", CGRectMake(bounds.size.width, 0, bounds.size.width, bounds.size.height));
                send(view, "addSubview:", libraryView);
            }
        })
        .method("viewWillAppear:", [](id self, SEL, bool animated) { sendSuper(iconControllerClass(), self, "viewWillAppear:", animated); })
        .method("iconCloseBoxTapped:", [](id self, SEL, id tapped) { closeBoxTapped(self, tapped); });
}
