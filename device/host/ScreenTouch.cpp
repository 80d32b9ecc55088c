#include "ScreenTouch.h"

#include "DeviceUser.h"
#include "MessageSend.h"
#include "SBIcon.h"
#include "SBRootFolderView.h"
#include "ScreenLayout.h"
#include "UIAlertAction.h"
#include "UIAlertController.h"
#include "UICollectionView.h"
#include "UICollectionViewCell.h"
#include "UIControl.h"
#include "UIKitState.h"
#include "UIScreen.h"
#include "UIScrollView.h"
#include "UITapGestureRecognizer.h"
#include "UIWindow.h"

#include <algorithm>
#include <map>
#include <optional>

namespace {

using Json = nlohmann::ordered_json;

// One view on the way from a window down to the touched view, and the point in its own
// coordinates.
struct PathStep {
    id view;
    CGPoint point;
};
using TouchPath = std::vector<PathStep>;

bool openToTouches(const UIView& view)
{
    return !view.isHidden() && view.alpha() >= 0.01 && view.isUserInteractionEnabled();
}

// UIKit's hitTest:withEvent:, keeping the path: `point` is in the superview's coordinates
// (a window's: the screen's).
bool hitTest(const id& object, CGPoint point, TouchPath& path)
{
    auto view = UIView::from(object);
    if (!view || !openToTouches(*view))
        return false;
    CGRect frame = view->frame();
    CGPoint local { point.x - frame.origin.x, point.y - frame.origin.y };
    if (!ScreenLayout::contains(view->bounds(), local))
        return false;
    path.push_back({ object, local });
    CGPoint inner = local;
    if (auto scrollView = object.as<UIScrollView>()) {
        inner.x += scrollView->contentOffset().x;
        inner.y += scrollView->contentOffset().y;
    }
    const auto& subviews = view->subviews();
    for (auto subview = subviews.rbegin(); subview != subviews.rend(); ++subview) {
        if (hitTest(*subview, inner, path))
            return true;
    }
    return true;
}

id collectionViewAbove(const id& cell)
{
    for (UIView* view = UIView::from(cell)->superview(); view; view = view->superview()) {
        if (id object(view); object.as<UICollectionView>())
            return object;
    }
    return nil;
}

Json touchAlert(SpringBoardApp& springBoard, const id& alert, CGPoint point)
{
    auto screen = UIScreen::mainScreen().as<UIScreen>();
    auto place = ScreenLayout::alertPlace(alert, screen->bounds().size);
    const auto& actions = alert.as<UIAlertController>()->actions();
    for (size_t i = 0; i < place.buttons.size() && i < actions.size(); ++i) {
        if (!ScreenLayout::contains(place.buttons[i], point))
            continue;
        std::string title = actions[i].as<UIAlertAction>()->titleString();
        DeviceUser(springBoard).tapAlertButton(title);
        return Json { { "reached", "alert-button" }, { "title", title } };
    }
    return Json { { "reached", "nothing" } };
}

std::optional<Json> touchIcon(SpringBoardApp& springBoard, const PathStep& folder)
{
    CGSize size = UIView::from(folder.view)->bounds().size;
    for (const auto& place : ScreenLayout::homeScreenIcons(folder.view, size)) {
        if (!ScreenLayout::contains(place.square, folder.point))
            continue;
        auto icon = place.icon.as<SBIcon>();
        if (!icon)
            return std::nullopt;
        std::string bundleIdentifier = icon->bundleIdentifier();
        DeviceUser(springBoard).launchApplication(bundleIdentifier, ScreenTouch::executableNameFor(bundleIdentifier));
        return Json { { "reached", "icon" }, { "bundleIdentifier", bundleIdentifier } };
    }
    return Json { { "reached", "nothing" } };
}

// Acts on the touched view, or the nearest view above it that takes a touch.
Json actOn(SpringBoardApp& springBoard, const TouchPath& path, unsigned long long taps)
{
    DeviceUser user(springBoard);
    for (auto step = path.rbegin(); step != path.rend(); ++step) {
        const id& view = step->view;
        if (view.as<UIControl>()) {
            user.tapButton(view, object_getClassName(view));
            return Json { { "reached", "button" }, { "view", object_getClassName(view) } };
        }
        if (view.as<UICollectionViewCell>()) {
            if (id collection = collectionViewAbove(view); collection && user.tapItem(collection, view))
                return Json { { "reached", "item" }, { "view", object_getClassName(view) } };
        }
        if (view.as<SBRootFolderView>()) {
            if (auto touched = touchIcon(springBoard, *step))
                return *touched;
        }
    }
    const id& deepest = path.back().view;
    bool recognized = UITapGestureRecognizer::tap(deepest, taps);
    if (!recognized && std::none_of(path.begin(), path.end(), [](const PathStep& step) { return !UIView::from(step.view)->gestureRecognizers().empty(); }))
        return Json { { "reached", "nothing" }, { "view", object_getClassName(deepest) } };
    return Json { { "reached", "gesture" }, { "view", object_getClassName(deepest) }, { "recognized", recognized } };
}

} // namespace

Json ScreenTouch::touch(CGPoint point, unsigned long long taps)
{
    m_springBoard.runLayoutPass();
    if (id alert = m_springBoard.presentedAlert())
        return touchAlert(m_springBoard, alert, point);
    std::vector<UIWindow*> windows = UIKitState::shared().windows;
    std::stable_sort(windows.begin(), windows.end(), [](UIWindow* a, UIWindow* b) { return a->windowLevel() > b->windowLevel(); });
    for (UIWindow* window : windows) {
        TouchPath path;
        if (!hitTest(id(window), point, path) || path.size() < 2)
            continue;  // outside the window, or on its bare background
        return actOn(m_springBoard, path, taps);
    }
    return Json { { "reached", "nothing" } };
}

std::string ScreenTouch::executableNameFor(const std::string& bundleIdentifier)
{
    static const std::map<std::string, std::string> systemApps {
        { "com.apple.mobilesafari", "MobileSafari" }, { "com.apple.camera", "Camera" }, { "com.apple.mobilecal", "MobileCal" },
        { "com.apple.mobileslideshow", "MobileSlideShow" }, { "com.apple.mobilemail", "MobileMail" }, { "com.apple.mobilenotes", "MobileNotes" },
        { "com.apple.reminders", "Reminders" }, { "com.apple.Maps", "Maps" }, { "com.apple.weather", "Weather" },
        { "com.apple.mobiletimer", "MobileTimer" }, { "com.apple.AppStore", "AppStore" }, { "com.apple.Preferences", "Preferences" },
        { "com.apple.Health", "Health" }, { "com.apple.mobilephone", "MobilePhone" }, { "com.apple.MobileSMS", "MobileSMS" },
        { "com.apple.Music", "Music" }, { "com.apple.news", "News" }, { "com.apple.calculator", "Calculator" },
    };
    if (auto known = systemApps.find(bundleIdentifier); known != systemApps.end())
        return known->second;
    size_t dot = bundleIdentifier.rfind('.');
    std::string last = dot == std::string::npos ? bundleIdentifier : bundleIdentifier.substr(dot + 1);
    if (!last.empty())
        last[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(last[0])));
    return last;
}
