#include "RestrictionControl.h"

#include "BBBulletin.h"
#include "DeviceUser.h"
#include "HostControl.h"
#include "SBIconModel.h"
#include "SpringBoardApp.h"
#include "Trace.h"
#include "UIImage.h"
#include "UIImageView.h"
#include "UILabel.h"

#include <fmt/format.h>

//   {"command":"bulletin","bundleIdentifier":B,"text":T} -> {"published":bool}
//       trace "bulletin" {sectionID, text, result: published|dropped}
//   {"command":"gesture","kind":"control-center"|"search"|"today"} -> {"began":bool}
//       trace "gesture" {kind, result: began|refused}; what a gesture opened is closed again
//   {"command":"today"} -> {"subviews":[...],"visible":N,"notice":T|null}
//       trace "today-view" {visible, notice}
//   {"command":"close-box","bundleIdentifier":B} -> {"result":"deleted"|"kept"|"no-icon"}
//       trace "close-box" {bundleIdentifier, result}
//   {"command":"camera"} -> {"opened":bool}   (trace "lock-screen-camera" {opened})
//   {"command":"icons"} -> {"pages":[[B...]...],"dock":[B...]}
//   {"command":"move-icon","bundleIdentifier":B,"page":P,"index":I} -> {"placed":bool}  (page from 1)
//       trace "icon-moved" {bundleIdentifier, page, index, result: placed|refused}
//   {"command":"bulletins"} -> {"bulletins":[{"sectionID","text"}...]}  (published, oldest first)
//   {"command":"home"} -> the home button, then as home-view
//   {"command":"home-view"} -> {"subviews":[...],"wallpaper":"WxH"|"no image"|"none","imageViews":N}
//       trace "home" {subviews, imageViews, wallpaper} (home only)
// A subview is {"class","hidden","frame"} with "text" for a label and "image" for an image view.

namespace {

using Json = ControlServer::Json;

std::string requiredText(const Json& request, const char* key)
{
    std::string value = request.value(key, std::string());
    if (value.empty())
        throw ControlError(fmt::format("{} needs a {}", request.value("command", std::string()), key));
    return value;
}

std::string sizeText(CGSize size)
{
    return fmt::format("{}x{}", size.width, size.height);
}

std::string imageSizeText(const id& image)
{
    auto picture = image.as<UIImage>();
    return picture ? sizeText(picture->size()) : "no image";
}

Json describeView(const id& view)
{
    CGRect frame = send<CGRect>(view, "frame");
    Json entry { { "class", object_getClassName(view) }, { "hidden", send<bool>(view, "isHidden") },
        { "frame", fmt::format("{},{} {}", frame.origin.x, frame.origin.y, sizeText(frame.size)) } };
    if (auto label = view.as<UILabel>())
        entry["text"] = label->textString();
    if (auto imageView = view.as<UIImageView>())
        entry["image"] = imageSizeText(imageView->image());
    return entry;
}

Json publishBulletin(const Json& request)
{
    std::string bundleIdentifier = requiredText(request, "bundleIdentifier");
    std::string text = request.value("text", std::string());
    SpringBoardApp& app = runningSpringBoard();
    size_t before = app.publishedBulletins().size();
    DeviceUser(app).receiveNotification(bundleIdentifier, bundleIdentifier, text);
    bool published = app.publishedBulletins().size() > before;
    Trace::emit("bulletin", { { "sectionID", bundleIdentifier }, { "text", text }, { "result", published ? "published" : "dropped" } });
    return Json { { "published", published } };
}

// Each gesture leaves the device as it found it, so the next one is asked afresh.
bool performGesture(const std::string& kind)
{
    SpringBoardApp& app = runningSpringBoard();
    DeviceUser user(app);
    if (kind == "control-center") {
        bool began = user.openControlCenter();
        if (began)
            send(app.controlCenterController(), "dismissAnimated:", true);
        return began;
    }
    if (kind == "search")
        return user.pullDownSearch();
    if (kind == "today") {
        bool began = user.showTodayView();
        if (began)
            send<bool>(app.rootFolderView(), "beginPageStateTransitionToState:animated:interactive:", 0LL, true, false);
        return began;
    }
    throw ControlError(fmt::format("\"{}\" is not a gesture (control-center, search or today)", kind));
}

Json todayView()
{
    SpringBoardApp& app = runningSpringBoard();
    id view = send<id>(app.todayViewController(), "view");
    app.runLayoutPass();
    Json described = Json::array();
    int visible = 0;
    Json notice = nullptr;
    auto subviews = send<id>(view, "subviews").as<NSArray>();
    for (const id& subview : *subviews) {
        described.push_back(describeView(subview));
        if (send<bool>(subview, "isHidden"))
            continue;
        ++visible;
        if (auto label = subview.as<UILabel>())
            notice = label->textString();
    }
    Trace::emit("today-view", { { "visible", std::to_string(visible) }, { "notice", notice.is_null() ? "" : notice.get<std::string>() } });
    return Json { { "subviews", described }, { "visible", visible }, { "notice", notice } };
}

Json tapCloseBox(const Json& request)
{
    std::string bundleIdentifier = requiredText(request, "bundleIdentifier");
    SpringBoardApp& app = runningSpringBoard();
    auto& model = *app.iconModel().as<SBIconModel>();
    std::string result = "no-icon";
    if (DeviceUser(app).tapIconCloseBox(bundleIdentifier))
        result = model.applicationIcon(bundleIdentifier) ? "kept" : "deleted";
    Trace::emit("close-box", { { "bundleIdentifier", bundleIdentifier }, { "result", result } });
    return Json { { "result", result } };
}

// The guest (or the owner) drags an icon to another place: placeIcon:atIndex: on the page's
// list; the layout is saved when the list took it.
Json moveIcon(const Json& request)
{
    std::string bundleIdentifier = requiredText(request, "bundleIdentifier");
    long long page = request.value("page", 0LL);
    long long index = request.value("index", 0LL);
    if (page < 1 || index < 0)
        throw ControlError(fmt::format("move-icon needs a page from 1 and an index from 0 (got page {}, index {})", page, index));
    SpringBoardApp& app = runningSpringBoard();
    bool placed = DeviceUser(app).putIcon(bundleIdentifier, static_cast<size_t>(page - 1), static_cast<unsigned long long>(index),
                      DeviceUser::IconPlacement::Place)
        != nil;
    Trace::emit("icon-moved", { { "bundleIdentifier", bundleIdentifier }, { "page", std::to_string(page) }, { "index", std::to_string(index) },
                                  { "result", placed ? "placed" : "refused" } });
    return Json { { "placed", placed } };
}

Json iconPages()
{
    SpringBoardApp& app = runningSpringBoard();
    return Json { { "pages", app.iconPages() }, { "dock", app.dockIcons() } };
}

// The icon controller's view, back to front. The wallpaper is the image view at the back.
Json homeView(bool traced)
{
    id view = send<id>(runningSpringBoard().iconController(), "view");
    auto subviews = send<id>(view, "subviews").as<NSArray>();
    Json described = Json::array();
    int imageViews = 0;
    for (const id& subview : *subviews) {
        described.push_back(describeView(subview));
        imageViews += subview.as<UIImageView>() ? 1 : 0;
    }
    std::string wallpaper = "none";
    if (subviews->count() > 0) {
        if (auto back = subviews->objectAtIndex(0).as<UIImageView>())
            wallpaper = imageSizeText(back->image());
    }
    if (traced)
        Trace::emit("home", { { "subviews", std::to_string(subviews->count()) }, { "imageViews", std::to_string(imageViews) }, { "wallpaper", wallpaper } });
    return Json { { "subviews", described }, { "wallpaper", wallpaper }, { "imageViews", imageViews } };
}

} // namespace

void addRestrictionControlCommands(HostControl& control)
{
    control.add("bulletin", [](const Json& request) { return publishBulletin(request); });
    control.add("gesture", [](const Json& request) {
        std::string kind = request.value("kind", std::string());
        bool began = performGesture(kind);
        Trace::emit("gesture", { { "kind", kind }, { "result", began ? "began" : "refused" } });
        return Json { { "began", began } };
    });
    control.add("today", [](const Json&) { return todayView(); });
    control.add("close-box", [](const Json& request) { return tapCloseBox(request); });
    control.add("camera", [](const Json&) { return Json { { "opened", DeviceUser(runningSpringBoard()).openLockScreenCamera() } }; });
    control.add("icons", [](const Json&) { return iconPages(); });
    control.add("move-icon", [](const Json& request) { return moveIcon(request); });
    control.add("bulletins", [](const Json&) {
        Json bulletins = Json::array();
        for (const id& bulletin : runningSpringBoard().publishedBulletins()) {
            auto details = bulletin.as<BBBulletin>();
            bulletins.push_back({ { "sectionID", details ? details->sectionID() : "" }, { "text", details ? details->message() : "" } });
        }
        return Json { { "bulletins", bulletins } };
    });
    control.add("home", [](const Json&) {
        DeviceUser(runningSpringBoard()).goHome();
        HostControl::settle();
        return homeView(true);
    });
    control.add("home-view", [](const Json&) { return homeView(false); });
}
