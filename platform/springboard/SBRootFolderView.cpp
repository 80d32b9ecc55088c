#include "SBRootFolderView.h"

#include "ScreenChanges.h"
#include "Trace.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

SBRootFolderView& folderOf(const id& self) { return objectAs<SBRootFolderView>(self, "SBRootFolderView"); }

constexpr double margin = 8;
constexpr double searchBarHeight = 36;


} // namespace

void SBRootFolderView::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBRootFolderView>()
        .method("initWithFrame:", [](id self, SEL, CGRect frame) -> id {
            self = sendSuper<id>(UIKitSupport::classNamed("SBRootFolderView"), self, "initWithFrame:", frame);
            auto& folder = folderOf(self);
            if (!folder.m_todayViewController) {
                folder.m_todayViewController = UIKitSupport::allocInit("SBTodayViewController");
                id todayView = send<id>(folder.m_todayViewController, "view");
                send(self, "addSubview:", todayView);

                CGRect bounds = send<CGRect>(self, "bounds");
                folder.m_searchScrollView = UIKitSupport::allocInitWithFrame("SBSearchScrollView", bounds);
                folder.m_searchBar = UIKitSupport::allocInitWithFrame("SBSearchBar", CGRectMake(margin, margin, bounds.size.width - 2 * margin, searchBarHeight));
                send(folder.m_searchScrollView, "addSubview:", folder.m_searchBar);
                send(self, "addSubview:", folder.m_searchScrollView);
            }
            return self;
        })
        .method("todayViewController", [](id self, SEL) -> id { return folderOf(self).todayViewController(); })
        .method("_minusPageCount", [](id, SEL) -> long long { return 1; })
        .method("_layoutSubviewsForTodayView", [](id self, SEL) {
            id todayView = send<id>(folderOf(self).todayViewController(), "view");
            CGRect bounds = send<CGRect>(self, "bounds");
            send(todayView, "setFrame:", CGRectMake(-bounds.size.width, 0, bounds.size.width, bounds.size.height));
        })
        .method("layoutSubviews", [](id self, SEL) {
            sendSuper(UIKitSupport::classNamed("SBRootFolderView"), self, "layoutSubviews");
            send(self, "_layoutSubviewsForTodayView");
        })
        .method("beginPageStateTransitionToState:animated:interactive:", [](id self, SEL, long long state, bool animated, bool interactive) -> bool {
            ScreenChanges::setDrawn(folderOf(self).m_pageState, state);
            Trace::emit("page-state-transition",
                { { "state", std::to_string(state) }, { "animated", animated ? "YES" : "NO" }, { "interactive", interactive ? "YES" : "NO" } });
            return true;
        })
        .method("pageState", [](id self, SEL) -> long long { return folderOf(self).pageState(); });
}
