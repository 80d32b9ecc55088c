#include "CSCoverSheetViewController.h"

#include <algorithm>

#include "LockScreenClasses.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

CSCoverSheetViewController& coverSheetOf(const id& self) { return objectAs<CSCoverSheetViewController>(self, "CSCoverSheetViewController"); }

} // namespace

void CSCoverSheetViewController::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<CSCoverSheetViewController>()
        .method("viewDidLoad", [](id self, SEL) {
            LockScreenClasses classes = LockScreenClasses::current();
            sendSuper(UIKitSupport::classNamed(classes.coverSheetViewController), self, "viewDidLoad");
            auto& coverSheet = coverSheetOf(self);
            id view = send<id>(self, "view");
            CGRect bounds = send<CGRect>(view, "bounds");

            id list = UIKitSupport::allocInit(classes.adjunctListViewController);
            send(self, "addChildViewController:", list);
            coverSheet.m_adjunctListViewController = list;
            id listView = send<id>(list, "view");

            id scrollView = UIKitSupport::allocInitWithFrame(classes.scrollView, bounds);
            coverSheet.m_scrollView = scrollView;
            // The notification list (and the panel at its top) sits below the date and time.
            constexpr double clockHeight = 200;
            send(listView, "setFrame:", CGRectMake(0, clockHeight, bounds.size.width, std::max(0.0, bounds.size.height - clockHeight)));
            send(scrollView, "addSubview:", listView);
            send(view, "addSubview:", scrollView);
        })
        .method("scrollView", [](id self, SEL) -> id { return coverSheetOf(self).scrollView(); })
        .method("notificationAdjunctListViewController", [](id self, SEL) -> id { return coverSheetOf(self).adjunctListViewController(); });
}
