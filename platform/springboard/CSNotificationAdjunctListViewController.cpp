#include "CSNotificationAdjunctListViewController.h"

#include "LockScreenClasses.h"
#include "UIKitSupport.h"
#include "UIScreen.h"
#include "UIStackView.h"

using UIKitSupport::objectAs;

namespace {

CSNotificationAdjunctListViewController& listOf(const id& self)
{
    return objectAs<CSNotificationAdjunctListViewController>(self, "CSNotificationAdjunctListViewController");
}

constexpr double cellInset = 16;
constexpr double cellHeight = 72;
constexpr double entrySpacing = 8;

} // namespace

void CSNotificationAdjunctListViewController::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<CSNotificationAdjunctListViewController>()
        .method("loadView", [](id self, SEL) {
            send(self, "setView:", UIKitSupport::allocInitWithFrame(LockScreenClasses::current().adjunctListView, UIScreen::mainScreenBounds()));
        })
        .method("viewDidLoad", [](id self, SEL) {
            sendSuper(UIKitSupport::classNamed(LockScreenClasses::current().adjunctListViewController), self, "viewDidLoad");
            auto& list = listOf(self);
            id view = send<id>(self, "view");
            CGRect bounds = send<CGRect>(view, "bounds");
            list.m_sizeToMimic = CGSizeMake(bounds.size.width - cellInset, cellHeight);
            id stack = UIKitSupport::allocInitWithFrame("UIStackView", bounds);
            send(stack, "setAxis:", static_cast<long long>(UILayoutConstraintAxisVertical));
            send(stack, "setSpacing:", entrySpacing);
            list.m_stackView = stack;
            send(view, "addSubview:", stack);
        })
        .method("stackView", [](id self, SEL) -> id { return listOf(self).stackView(); })
        .method("sizeToMimic", [](id self, SEL) -> CGSize { return listOf(self).sizeToMimic(); })
        .method("setSizeToMimic:", [](id self, SEL, CGSize size) { listOf(self).m_sizeToMimic = size; });
}
