#include "PanelInspector.h"

#include "HostControl.h"
#include "NSNotificationCenter.h"
#include "SpringBoardApp.h"
#include "SpringBoardState.h"
#include "UIKit.h"
#include "UIKitSupport.h"
#include "ViewTreeDump.h"

#include <fmt/format.h>

#include <map>

namespace PanelInspector {

namespace {

using Json = ControlServer::Json;

const char* const kPanelProperties[] = { "baseView", "collectionView", "settingView", "settingButton", "dismissButton", "respringButton",
    "logoutButton", "hideButton", "respringLabel", "logoutLabel", "hideLabel" };
const char* const kCellProperties[] = { "contentView", "baseView", "avatarImage", "usernameLabel" };

// Every view of the panel that has a name: the panel's properties, the blur of its base
// view, and each visible cell with its parts.
std::map<const objc_object*, std::string> panelNames(const id& panel)
{
    std::map<const objc_object*, std::string> names;
    names[panel.get()] = "panel";
    for (const char* property : kPanelProperties) {
        if (id view = send<id>(panel, property))
            names[view.get()] = property;
    }
    id base = send<id>(panel, "baseView");
    if (respondsToSelector(base, "blurEffectView")) {
        id blur = send<id>(base, "blurEffectView");
        names[blur.get()] = "baseView.blurEffectView";
        if (respondsToSelector(blur, "contentView"))
            names[send<id>(blur, "contentView").get()] = "baseView.blurEffectView.contentView";
    }
    auto collection = send<id>(panel, "collectionView").as<UICollectionView>();
    if (!collection)
        return names;
    for (const auto& cell : collection->visibleCells()) {
        auto path = collection->indexPathForCell(cell).as<NSIndexPath>();
        std::string cellName = fmt::format("cell[{}]", path ? path->item() : -1);
        names[cell.get()] = cellName;
        for (const char* property : kCellProperties) {
            if (respondsToSelector(cell, property)) {
                if (id part = send<id>(cell, property))
                    names[part.get()] = cellName + "." + property;
            }
        }
    }
    return names;
}

Json describePanel(const id& panel, const char* source, double width)
{
    send(panel, "layoutIfNeeded");
    auto names = panelNames(panel);
    auto namer = [&names](const id& view) {
        auto found = names.find(view.get());
        return found == names.end() ? std::string() : found->second;
    };
    return Json { { "source", source }, { "width", width }, { "views", ViewTreeDump::dump(panel, namer) } };
}

double lockScreenListWidth(const id& controller)
{
    auto stack = UIView::from(send<id>(controller, "stackView"));
    if (stack && stack->frame().size.width > 0)
        return stack->frame().size.width;
    return UIScreen::mainScreenBounds().size.width;
}

Json sidePanel(const id& controller)
{
    Class panelClass = objc_getClass("UserAccountView");
    if (!panelClass)
        throw ControlError("SpringBoard has no UserAccountView class: the Kavlor library is not loaded on this device");
    double width = lockScreenListWidth(controller);
    id container = UIKitSupport::allocInitWithFrame("UIView", CGRectMake(0, 0, width, UIScreen::mainScreenBounds().size.height));
    id panel = send<id>(send<id>(panelClass, "alloc"), "init");
    if (!panel)
        throw ControlError("UserAccountView's init gave nothing");
    send(container, "addSubview:", panel);
    for (const char* edge : { "topAnchor", "leadingAnchor", "trailingAnchor" })
        send(send<id>(send<id>(panel, edge), "constraintEqualToAnchor:", send<id>(container, edge)), "setActive:", true);
    Json result = describePanel(panel, "side", width);
    // Nothing of it stays: not its observer, not the cycle its buttons' targets make.
    NSNotificationCenter::defaultCenter()->removeObserver(panel);
    send(send<id>(panel, "baseView"), "removeFromSuperview");
    send(panel, "removeFromSuperview");
    return result;
}

Json showPanel()
{
    SpringBoardApp* app = SpringBoardApp::current();
    if (!app)
        throw ControlError("SpringBoard has not launched");
    HostControl::settle();
    id controller = app->adjunctListViewController();
    if (respondsToSelector(controller, "userAccountView")) {
        if (id panel = send<id>(controller, "userAccountView")) {
            // As the screen shows it: after the layout pass that UIKit runs at the end of a
            // turn of the run loop (a rebuilt panel waits for it to get its place in the list).
            app->runLayoutPass();
            return describePanel(panel, "lock-screen", UIView::from(panel)->frame().size.width);
        }
    }
    Json result = sidePanel(controller);
    HostControl::settle();
    return result;
}

Json setAppearance(const Json& request)
{
    std::string style = request.at("style").get<std::string>();
    if (style != "light" && style != "dark")
        throw ControlError(fmt::format("the appearance is \"light\" or \"dark\", not \"{}\"", style));
    if (style == "dark" && SpringBoardState::shared().iosMajor < 13)
        throw ControlError(fmt::format("iOS {} has no dark appearance (it came with iOS 13)", SpringBoardState::shared().iosMajor));
    HostControl::settle();
    UITraitCollection::setUserInterfaceStyle(style == "dark" ? UIUserInterfaceStyleDark : UIUserInterfaceStyleLight);
    HostControl::settle();
    return Json { { "style", style } };
}

} // namespace

void addControlCommands(HostControl& control)
{
    control.add("panel", [](const Json&) { return showPanel(); });
    control.add("appearance", [](const Json& request) { return setAppearance(request); });
}

} // namespace PanelInspector
