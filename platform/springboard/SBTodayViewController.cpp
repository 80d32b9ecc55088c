#include "SBTodayViewController.h"

#include "UIKitSupport.h"

namespace {

constexpr double margin = 8;
constexpr double widgetHeight = 110;
constexpr double footerHeight = 44;
constexpr int widgetCount = 2;

} // namespace

void SBTodayViewController::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBTodayViewController>().method("viewDidLoad", [](id self, SEL) {
        sendSuper(UIKitSupport::classNamed("SBTodayViewController"), self, "viewDidLoad");
        id view = send<id>(self, "view");
        double width = send<CGRect>(view, "bounds").size.width - 2 * margin;
        double y = margin;
        for (int i = 0; i < widgetCount; ++i, y += widgetHeight + margin)
            send(view, "addSubview:", UIKitSupport::allocInitWithFrame("WGWidgetWrapperView", CGRectMake(margin, y, width, widgetHeight)));
        send(view, "addSubview:", UIKitSupport::allocInitWithFrame("WGWidgetListFooterView", CGRectMake(margin, y, width, footerHeight)));
    });
}
