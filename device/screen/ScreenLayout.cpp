#include "ScreenLayout.h"

#include "SBIconModel.h"
#include "SBRootFolderView.h"
#include "SpringBoardApp.h"
#include "UIAlertController.h"
#include "MessageSend.h"
#include "NSObjectValues.h"
#include "SBIcon.h"
#include "SBIconListModel.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace ScreenLayout {

namespace {

struct GridMetrics {
    int columns;
    double iconSize;
    double top;
    double rowHeight;
};

GridMetrics gridMetrics()
{
    id device = send<id>(objc_getClass("UIDevice"), "currentDevice");
    if (respondsToSelector(device, "userInterfaceIdiom") && send<long long>(device, "userInterfaceIdiom") == 1)
        return { 6, 76, 80, 130 };
    return { 4, 60, 70, 100 };
}

} // namespace

CGRect dockRect(CGSize size)
{
    double dockHeight = gridMetrics().iconSize + 30;
    return { { 10, size.height - dockHeight - 14 }, { size.width - 20, dockHeight } };
}

std::vector<IconPlace> homeScreenIcons(const id& rootFolderView, CGSize size)
{
    std::vector<IconPlace> places;
    if (send<long long>(rootFolderView, "pageState") == SBRootFolderPageStateTodayView)
        return places;
    SpringBoardApp* app = SpringBoardApp::current();
    auto model = app ? app->iconModel().as<SBIconModel>() : nullptr;
    if (!model)
        return places;
    GridMetrics grid = gridMetrics();
    double gap = (size.width - grid.columns * grid.iconSize) / (grid.columns + 1);
    if (!model->pages().empty()) {
        auto page = model->pages().front().as<SBIconListModel>();
        int index = 0;
        for (const id& icon : page ? page->icons() : std::vector<id>()) {
            int column = index % grid.columns, row = index / grid.columns;
            places.push_back({ icon, { { gap + column * (grid.iconSize + gap), grid.top + row * grid.rowHeight }, { grid.iconSize, grid.iconSize } }, false });
            ++index;
        }
    }
    auto dock = model->dock().as<SBIconListModel>();
    if (!dock)
        return places;
    CGRect bar = dockRect(size);
    size_t count = dock->icons().size();
    double dockGap = count ? (bar.size.width - count * grid.iconSize) / (count + 1) : 0;
    for (size_t i = 0; i < count; ++i)
        places.push_back({ dock->icons()[i], { { bar.origin.x + dockGap + i * (grid.iconSize + dockGap), bar.origin.y + 15 }, { grid.iconSize, grid.iconSize } }, true });
    return places;
}

AlertPlace alertPlace(const id& alertObject, CGSize screen)
{
    AlertPlace place;
    auto alert = alertObject.as<UIAlertController>();
    if (!alert)
        return place;
    double width = 270;
    std::string messageText = alert->messageString();
    // A plain estimate of the message's lines: its line feeds, and about 38 characters a line.
    double messageHeight = std::min(screen.height * 0.6,
        16.0 * (1 + std::count(messageText.begin(), messageText.end(), '\n')) + 16.0 * std::ceil(messageText.size() / 38.0));
    size_t actions = alert->actions().size();
    place.sideBySide = actions == 2;
    double buttonsHeight = place.sideBySide ? 44 : 44.0 * actions;
    double height = 20 + 24 + messageHeight + 16 + buttonsHeight;
    place.box = { { (screen.width - width) / 2, (screen.height - height) / 2 }, { width, height } };
    place.title = { { place.box.origin.x + 16, place.box.origin.y + 18 }, { width - 32, 24 } };
    place.message = { { place.box.origin.x + 16, place.box.origin.y + 44 }, { width - 32, messageHeight } };
    double buttonsTop = place.box.origin.y + height - buttonsHeight;
    for (size_t i = 0; i < actions; ++i)
        place.buttons.push_back(place.sideBySide ? CGRect { { place.box.origin.x + i * width / 2, buttonsTop }, { width / 2, 44 } }
                                                 : CGRect { { place.box.origin.x, buttonsTop + i * 44 }, { width, 44 } });
    return place;
}

std::string iconName(const id& icon)
{
    std::string bundleIdentifier = icon.as<SBIcon>() ? icon.as<SBIcon>()->bundleIdentifier() : std::string();
    auto displayName = send<id>(icon, "displayName").as<NSString>();
    if (displayName && !displayName->utf8().empty() && displayName->utf8() != bundleIdentifier)
        return displayName->utf8();
    static const std::map<std::string, std::string> systemApps {
        { "com.apple.mobilesafari", "Safari" }, { "com.apple.camera", "Camera" }, { "com.apple.mobilecal", "Calendar" },
        { "com.apple.mobileslideshow", "Photos" }, { "com.apple.mobilemail", "Mail" }, { "com.apple.mobilenotes", "Notes" },
        { "com.apple.reminders", "Reminders" }, { "com.apple.Maps", "Maps" }, { "com.apple.weather", "Weather" },
        { "com.apple.mobiletimer", "Clock" }, { "com.apple.AppStore", "App Store" }, { "com.apple.Preferences", "Settings" },
        { "com.apple.Health", "Health" }, { "com.apple.mobilephone", "Phone" }, { "com.apple.MobileSMS", "Messages" },
        { "com.apple.Music", "Music" }, { "com.apple.news", "News" }, { "com.apple.calculator", "Calculator" },
    };
    if (auto known = systemApps.find(bundleIdentifier); known != systemApps.end())
        return known->second;
    size_t dot = bundleIdentifier.rfind('.');
    return dot == std::string::npos ? bundleIdentifier : bundleIdentifier.substr(dot + 1);
}

bool contains(CGRect rect, CGPoint point)
{
    return point.x >= rect.origin.x && point.y >= rect.origin.y && point.x < rect.origin.x + rect.size.width
        && point.y < rect.origin.y + rect.size.height;
}

} // namespace ScreenLayout
