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
#include "UILabel.h"
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

std::vector<UIWindow*> windowsFrontToBack()
{
    std::vector<UIWindow*> windows = UIKitState::shared().windows;
    std::stable_sort(windows.begin(), windows.end(), [](UIWindow* a, UIWindow* b) { return a->windowLevel() > b->windowLevel(); });
    return windows;
}

// The path a touch at `point` takes: in the frontmost window that has a view there.
TouchPath touchPathAt(CGPoint point)
{
    for (UIWindow* window : windowsFrontToBack()) {
        TouchPath path;
        if (hitTest(id(window), point, path) && path.size() >= 2)
            return path;
    }
    return {};
}

bool shown(const UIView& view)
{
    return !view.isHidden() && view.alpha() >= 0.01;
}

// Labels reading `text` below `object`, with their frames in screen points; `origin` is the
// object's superview's origin on the screen.
void findLabels(const id& object, CGPoint origin, const std::string& text, std::vector<std::pair<id, CGRect>>& found)
{
    auto view = UIView::from(object);
    if (!view || !shown(*view))
        return;
    CGRect frame = view->frame();
    CGPoint topLeft { origin.x + frame.origin.x, origin.y + frame.origin.y };
    if (auto label = object.as<UILabel>(); label && label->textString() == text)
        found.push_back({ object, { topLeft, frame.size } });
    if (auto scrollView = object.as<UIScrollView>()) {
        topLeft.x -= scrollView->contentOffset().x;
        topLeft.y -= scrollView->contentOffset().y;
    }
    for (const id& subview : view->subviews())
        findLabels(subview, topLeft, text, found);
}

CGPoint centre(CGRect rect)
{
    return { CGRectGetMidX(rect), CGRectGetMidY(rect) };
}

bool pathHolds(const TouchPath& path, const id& view)
{
    return std::any_of(path.begin(), path.end(), [&](const PathStep& step) { return step.view == view; });
}

} // namespace

std::optional<CGRect> ScreenTouch::locate(const std::string& text)
{
    m_springBoard.runLayoutPass();
    if (id alert = m_springBoard.presentedAlert()) {
        auto place = ScreenLayout::alertPlace(alert, UIScreen::mainScreenBounds().size);
        const auto& actions = alert.as<UIAlertController>()->actions();
        for (size_t i = 0; i < place.buttons.size() && i < actions.size(); ++i) {
            if (actions[i].as<UIAlertAction>()->titleString() == text)
                return place.buttons[i];
        }
        return std::nullopt;
    }
    for (UIWindow* window : windowsFrontToBack()) {
        if (window->isHidden())
            continue;
        std::vector<std::pair<id, CGRect>> labels;
        findLabels(id(window), CGPointZero, text, labels);
        for (const auto& [label, frame] : labels) {
            // Reached when a touch at its centre passes through the label's superview (a
            // label itself takes no touches).
            TouchPath path = touchPathAt(centre(frame));
            UIView* holder = UIView::from(label)->superview();
            if (holder && pathHolds(path, id(holder)))
                return frame;
        }
    }
    id folder = m_springBoard.rootFolderView();
    auto folderView = UIView::from(folder);
    if (!folderView || !folderView->window() || folderView->window()->isHidden())
        return std::nullopt;
    for (const auto& place : ScreenLayout::homeScreenIcons(folder, folderView->bounds().size)) {
        if (ScreenLayout::iconName(place.icon) != text)
            continue;
        CGPoint origin {};
        for (UIView* view = folderView.get(); view; view = view->superview()) {
            origin.x += view->frame().origin.x;
            origin.y += view->frame().origin.y;
        }
        CGRect square { { origin.x + place.square.origin.x, origin.y + place.square.origin.y }, place.square.size };
        TouchPath path = touchPathAt(centre(square));
        if (pathHolds(path, folder))
            return square;
    }
    return std::nullopt;
}

Json ScreenTouch::touch(CGPoint point, unsigned long long taps)
{
    m_springBoard.runLayoutPass();
    if (id alert = m_springBoard.presentedAlert())
        return touchAlert(m_springBoard, alert, point);
    // A touch on a window's bare background goes on to the window below.
    TouchPath path = touchPathAt(point);
    if (path.empty())
        return Json { { "reached", "nothing" } };
    return actOn(m_springBoard, path, taps);
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
