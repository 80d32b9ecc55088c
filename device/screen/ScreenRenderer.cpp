#include "ScreenRenderer.h"

#include "MessageSend.h"
#include "RunLoop.h"
#include "ScreenLayout.h"
#include "SBIcon.h"
#include "SBIconListModel.h"
#include "SBIconModel.h"
#include "SBRootFolderView.h"
#include "SpringBoardApp.h"
#include "UIAlertAction.h"
#include "UIAlertController.h"
#include "UIColor.h"
#include "UIImage.h"
#include "UIKitState.h"
#include "UIScreen.h"
#include "UIWindow.h"
#include "ViewPainter.h"
#include "WallpaperCache.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <functional>
#include <map>
#include <set>

namespace {

constexpr const char* kLockWallpaper = "/var/mobile/Library/SpringBoard/LockBackground.cpbitmap";
constexpr const char* kHomeWallpaper = "/var/mobile/Library/SpringBoard/HomeBackground.cpbitmap";

using TextStyle = ViewPainter::TextStyle;

bool darkAppearance() { return UIKitState::shared().userInterfaceStyle == 2; }

id colour(double red, double green, double blue, double alpha = 1.0)
{
    return UIColor::colorWithRGBA(red, green, blue, alpha);
}

TextStyle text(double size, id textColour, long long alignment = 1, bool bold = false)
{
    TextStyle style;
    style.pointSize = size;
    style.colour = std::move(textColour);
    style.alignment = alignment;
    style.bold = bold;
    return style;
}

// The wallpaper, drawn once at the screen's pixels by the cache.
cairo_surface_t* wallpaperOf(bool lockScreen, CGSize screen, double scale)
{
    return WallpaperCache::shared().screenSized({ lockScreen ? kLockWallpaper : kHomeWallpaper, lockScreen, darkAppearance() }, screen, scale);
}

// An opaque wallpaper fills the whole screen (aspect fill): nothing under it shows.
bool coversTheScreen(cairo_surface_t* wallpaper)
{
    return cairo_surface_get_content(wallpaper) == CAIRO_CONTENT_COLOR;
}

// The wallpaper copied as it is.
void drawWallpaper(cairo_t* cairo, bool lockScreen, CGSize screen)
{
    double scale = 1, unused = 0;
    cairo_user_to_device_distance(cairo, &scale, &unused);
    cairo_surface_t* wallpaper = wallpaperOf(lockScreen, screen, scale);
    cairo_save(cairo);
    cairo_identity_matrix(cairo);
    cairo_set_source_surface(cairo, wallpaper, 0, 0);
    cairo_paint(cairo);
    cairo_restore(cairo);
}

// The time the device shows: on the virtual clock 9:41 plus the time since boot (so a
// countdown's minutes can be seen passing); on the real clock the machine's local time.
std::tm shownTime()
{
    std::tm shown {};
    auto& loop = RunLoop::main();
    if (loop.virtualClock()) {
        long seconds = 9 * 3600 + 41 * 60 + static_cast<long>(loop.now().time_since_epoch().count());
        shown.tm_hour = static_cast<int>(seconds / 3600 % 24);
        shown.tm_min = static_cast<int>(seconds / 60 % 60);
        shown.tm_mday = 7;
        shown.tm_mon = 11;
        shown.tm_wday = 1;
        return shown;
    }
    std::time_t now = std::time(nullptr);
    localtime_r(&now, &shown);
    return shown;
}

std::string clockText(const std::tm& time) { return fmt::format("{}:{:02}", time.tm_hour, time.tm_min); }

std::string dateText(const std::tm& time)
{
    static const char* days[] = { "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday" };
    static const char* months[] = { "January", "February", "March", "April", "May", "June", "July", "August", "September",
        "October", "November", "December" };
    return fmt::format("{}, {} {}", days[time.tm_wday % 7], time.tm_mday, months[time.tm_mon % 12]);
}

void drawLockScreenClock(cairo_t* cairo, CGSize screen)
{
    std::tm time = shownTime();
    id white = colour(1, 1, 1);
    ViewPainter::drawText(cairo, dateText(time), { { 0, 70 }, { screen.width, 24 } }, text(20, white));
    ViewPainter::drawText(cairo, clockText(time), { { 0, 94 }, { screen.width, 90 } }, text(80, white));
}

// A stable colour of its own for each app's icon.
void setIconColour(cairo_t* cairo, const std::string& bundleIdentifier)
{
    size_t hash = std::hash<std::string>()(bundleIdentifier);
    double hue = static_cast<double>(hash % 360);
    double chroma = 0.55, lightness = 0.55;
    double x = chroma * (1 - std::fabs(std::fmod(hue / 60, 2) - 1));
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(hue / 60)) {
    case 0: r = chroma, g = x; break;
    case 1: r = x, g = chroma; break;
    case 2: g = chroma, b = x; break;
    case 3: g = x, b = chroma; break;
    case 4: r = x, b = chroma; break;
    default: r = chroma, b = x; break;
    }
    double m = lightness - chroma / 2;
    cairo_set_source_rgb(cairo, r + m, g + m, b + m);
}

void drawDock(cairo_t* cairo, CGSize size)
{
    ViewPainter::roundedRectangle(cairo, ScreenLayout::dockRect(size), 30);
    cairo_set_source_rgba(cairo, 1, 1, 1, darkAppearance() ? 0.18 : 0.32);
    cairo_fill(cairo);
}

void drawIcon(cairo_t* cairo, const id& icon, CGRect square, bool withName)
{
    auto record = icon.as<SBIcon>();
    std::string bundleIdentifier = record ? record->bundleIdentifier() : "";
    ViewPainter::roundedRectangle(cairo, square, square.size.width * 0.225);
    setIconColour(cairo, bundleIdentifier);
    cairo_fill(cairo);
    std::string name = ScreenLayout::iconName(icon);
    std::string initial = name.substr(0, 1);
    ViewPainter::drawText(cairo, initial, square, text(square.size.width * 0.45, colour(1, 1, 1), 1, true));
    if (withName) {
        CGRect label { { square.origin.x - 10, square.origin.y + square.size.height + 3 }, { square.size.width + 20, 16 } };
        ViewPainter::drawText(cairo, name, label, text(12, colour(1, 1, 1)));
    }
}

// SBRootFolderView's own drawing: the first page of icons and the dock (not while the Today
// view is shown).
void drawIconGrid(cairo_t* cairo, const id& folder, CGSize size)
{
    auto places = ScreenLayout::homeScreenIcons(folder, size);
    if (places.empty() && send<long long>(folder, "pageState") == SBRootFolderPageStateTodayView)
        return;
    bool dockDrawn = false;
    for (const auto& place : places) {
        if (place.inDock && !dockDrawn) {
            drawDock(cairo, size);
            dockDrawn = true;
        }
        drawIcon(cairo, place.icon, place.square, !place.inDock);
    }
    if (!dockDrawn)
        drawDock(cairo, size);
}

// The status bar's own drawing: the time at the leading edge, a battery at the trailing one.
void drawStatusBar(cairo_t* cairo, const id&, CGSize size)
{
    id ink = darkAppearance() ? colour(1, 1, 1) : colour(1, 1, 1);
    ViewPainter::drawText(cairo, clockText(shownTime()), { { 24, 0 }, { 80, size.height } }, text(15, ink, 0, true));
    CGRect battery { { size.width - 46, size.height / 2 - 6 }, { 25, 12 } };
    ViewPainter::roundedRectangle(cairo, battery, 3);
    cairo_set_source_rgba(cairo, 1, 1, 1, 0.9);
    cairo_set_line_width(cairo, 1);
    cairo_stroke(cairo);
    ViewPainter::roundedRectangle(cairo, { { battery.origin.x + 2, battery.origin.y + 2 }, { 17, 8 } }, 1.5);
    cairo_fill(cairo);
}

void drawPasscodePrompt(cairo_t* cairo, CGSize screen)
{
    cairo_rectangle(cairo, 0, 0, screen.width, screen.height);
    cairo_set_source_rgba(cairo, 0, 0, 0, 0.55);
    cairo_fill(cairo);
    id white = colour(1, 1, 1);
    double top = screen.height * 0.16;
    ViewPainter::drawText(cairo, "Enter Passcode", { { 0, top }, { screen.width, 26 } }, text(20, white));
    for (int dot = 0; dot < 6; ++dot) {
        cairo_new_path(cairo);
        cairo_arc(cairo, screen.width / 2 + (dot - 2.5) * 26, top + 50, 6.5, 0, 2 * M_PI);
        cairo_set_source_rgba(cairo, 1, 1, 1, 0.9);
        cairo_set_line_width(cairo, 1.2);
        cairo_stroke(cairo);
    }
    const char* keys[] = { "1", "2", "3", "4", "5", "6", "7", "8", "9", "", "0", "" };
    double key = 78, gap = 18;
    double left = (screen.width - 3 * key - 2 * gap) / 2, keypadTop = top + 100;
    for (int i = 0; i < 12; ++i) {
        if (!*keys[i])
            continue;
        CGRect circle { { left + (i % 3) * (key + gap), keypadTop + (i / 3) * (key + gap * 0.8) }, { key, key } };
        cairo_new_path(cairo);
        cairo_arc(cairo, circle.origin.x + key / 2, circle.origin.y + key / 2, key / 2, 0, 2 * M_PI);
        cairo_set_source_rgba(cairo, 1, 1, 1, 0.22);
        cairo_fill(cairo);
        ViewPainter::drawText(cairo, keys[i], circle, text(34, white));
    }
}

// An alert on one of SpringBoard's controllers, over everything else.
void drawAlert(cairo_t* cairo, const id& alertObject, CGSize screen)
{
    auto alert = alertObject.as<UIAlertController>();
    if (!alert)
        return;
    cairo_rectangle(cairo, 0, 0, screen.width, screen.height);
    cairo_set_source_rgba(cairo, 0, 0, 0, 0.3);
    cairo_fill(cairo);
    bool dark = darkAppearance();
    id ink = dark ? colour(1, 1, 1) : colour(0, 0, 0);
    id tint = colour(0, 122 / 255.0, 1);
    ScreenLayout::AlertPlace place = ScreenLayout::alertPlace(alertObject, screen);
    const auto& actions = alert->actions();
    ViewPainter::roundedRectangle(cairo, place.box, 14);
    cairo_set_source_rgba(cairo, dark ? 0.17 : 0.96, dark ? 0.17 : 0.96, dark ? 0.18 : 0.97, 0.97);
    cairo_fill(cairo);
    ViewPainter::drawText(cairo, alert->titleString(), place.title, text(17, ink, 1, true));
    TextStyle message = text(13, ink);
    message.lines = 0;
    ViewPainter::drawText(cairo, alert->messageString(), place.message, message);
    cairo_set_source_rgba(cairo, 0.5, 0.5, 0.5, 0.5);
    cairo_set_line_width(cairo, 0.5);
    for (size_t i = 0; i < actions.size(); ++i) {
        auto action = actions[i].as<UIAlertAction>();
        CGRect button = place.buttons[i];
        cairo_move_to(cairo, button.origin.x, button.origin.y);
        cairo_line_to(cairo, button.origin.x + button.size.width, button.origin.y);
        if (place.sideBySide && i == 1) {
            cairo_move_to(cairo, button.origin.x, button.origin.y);
            cairo_line_to(cairo, button.origin.x, button.origin.y + 44);
        }
        cairo_set_source_rgba(cairo, 0.5, 0.5, 0.5, 0.5);
        cairo_stroke(cairo);
        ViewPainter::drawText(cairo, action ? action->titleString() : "", button, text(17, tint));
    }
}

} // namespace

namespace {

struct ScreenMetrics {
    CGSize points;
    double scale;
};

// The main screen's size, at the scale asked for (0: the screen's own) when that is coarser.
ScreenMetrics screenMetrics(double pixelsPerPoint)
{
    auto screen = UIScreen::mainScreen().as<UIScreen>();
    double own = screen ? screen->scale() : 2.0;
    double scale = pixelsPerPoint > 0 && std::isfinite(pixelsPerPoint) ? std::min(pixelsPerPoint, own) : own;
    return { screen ? screen->bounds().size : CGSize { 390, 844 }, scale };
}

} // namespace

double ScreenRenderer::pixelsPerPoint() const
{
    return screenMetrics(m_pixelsPerPoint).scale;
}

ScreenRenderer::PixelSize ScreenRenderer::pixelSize() const
{
    ScreenMetrics screen = screenMetrics(m_pixelsPerPoint);
    return { static_cast<uint32_t>(std::max(1L, std::lround(screen.points.width * screen.scale))),
        static_cast<uint32_t>(std::max(1L, std::lround(screen.points.height * screen.scale))) };
}

Bitmap ScreenRenderer::draw(Overlay overlay) const
{
    PixelSize pixels = pixelSize();
    CanvasSurface canvas(static_cast<int>(pixels.width), static_cast<int>(pixels.height));
    paintScreen(canvas.context(), overlay);
    return canvas.bitmap();
}

void ScreenRenderer::drawInto(uint8_t* pixels, Overlay overlay) const
{
    PixelSize size = pixelSize();
    // Bitmap's layout (BGRA premultiplied, rows tight) is cairo's ARGB32 on this machine.
    cairo_surface_t* surface = cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, static_cast<int>(size.width),
        static_cast<int>(size.height), static_cast<int>(size.width * Bitmap::bytesPerPixel));
    cairo_t* cairo = cairo_create(surface);
    paintScreen(cairo, overlay);
    cairo_destroy(cairo);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
}

void ScreenRenderer::paintScreen(cairo_t* cairo, Overlay overlay) const
{
    ScreenMetrics screen = screenMetrics(m_pixelsPerPoint);
    CGSize size = screen.points;
    cairo_scale(cairo, screen.scale, screen.scale);

    ViewPainter painter(cairo);
    painter.paintContentOf("SBRootFolderView", drawIconGrid);
    painter.paintContentOf("UIStatusBar", drawStatusBar);

    std::vector<UIWindow*> windows = UIKitState::shared().windows;
    std::erase_if(windows, [](UIWindow* window) { return window->isHidden(); });
    std::stable_sort(windows.begin(), windows.end(), [](UIWindow* a, UIWindow* b) { return a->windowLevel() < b->windowLevel(); });
    id lockWindow = m_springBoard.lockScreenWindow();
    id homeWindow = m_springBoard.homeScreenWindow();
    // Drawing starts at the topmost window with an opaque wallpaper, looked for from the top:
    // what lies under it (the home screen under the lock screen, the black of no window) would
    // be drawn, and its wallpaper made ready, only to be covered, and a frame of an iPad is
    // 22 MB of pixels.
    auto firstShown = windows.begin();
    bool covered = false;
    for (auto window = windows.rbegin(); window != windows.rend() && !covered; ++window) {
        id object(*window);
        if ((object == homeWindow || object == lockWindow) && coversTheScreen(wallpaperOf(object == lockWindow, size, screen.scale))) {
            firstShown = std::prev(window.base());
            covered = true;
        }
    }
    if (!covered) {
        cairo_set_source_rgb(cairo, 0, 0, 0);
        cairo_paint(cairo);
    }
    for (auto window = firstShown; window != windows.end(); ++window) {
        id object(*window);
        if (object == homeWindow)
            drawWallpaper(cairo, false, size);
        if (object == lockWindow) {
            drawWallpaper(cairo, true, size);
            if (overlay != Overlay::PasscodePrompt)
                drawLockScreenClock(cairo, size);
        }
        if (object == lockWindow && overlay == Overlay::PasscodePrompt) {
            drawPasscodePrompt(cairo, size);
            continue;
        }
        painter.paint(object);
    }
    if (id alert = m_springBoard.presentedAlert())
        drawAlert(cairo, alert, size);
}

double ScreenRenderer::secondsUntilClockChanges()
{
    auto& loop = RunLoop::main();
    double seconds = 0;
    if (loop.virtualClock()) {
        seconds = loop.now().time_since_epoch().count();
    } else {
        timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        std::tm shown {};
        localtime_r(&now.tv_sec, &shown);
        seconds = shown.tm_sec + now.tv_nsec / 1e9;
    }
    return 60 - std::fmod(seconds, 60);
}

namespace {

// The home screen's views and the status bar, the icons' names above all, drawn once onto a
// surface of a single pixel at the scale of the pictures: what matters is their texts, laid
// out and kept for the picture of the first unlock. Once a scale (a SpringBoard draws its
// screen only for the one server).
bool layOutHomeScreenAhead(SpringBoardApp& springBoard, const ScreenMetrics& screen)
{
    static std::set<double> laidOutAt;
    id homeWindow = springBoard.homeScreenWindow();
    if (!homeWindow || !laidOutAt.insert(screen.scale).second)
        return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cairo = cairo_create(surface);
    cairo_scale(cairo, screen.scale, screen.scale);
    ViewPainter painter(cairo);
    painter.paintContentOf("SBRootFolderView", drawIconGrid);
    painter.paintContentOf("UIStatusBar", drawStatusBar);
    painter.paint(homeWindow);
    if (id statusBar = springBoard.statusBarWindow())
        painter.paint(statusBar);
    cairo_destroy(cairo);
    cairo_surface_destroy(surface);
    return true;
}

} // namespace

bool ScreenRenderer::prepareNextAhead() const
{
    ScreenMetrics screen = screenMetrics(m_pixelsPerPoint);
    WallpaperCache& cache = WallpaperCache::shared();
    bool dark = darkAppearance();
    for (bool lockScreen : { true, false }) {
        for (bool appearance : { dark, !dark }) {
            int before = cache.preparedCount();
            cache.screenSized({ lockScreen ? kLockWallpaper : kHomeWallpaper, lockScreen, appearance }, screen.points, screen.scale);
            if (cache.preparedCount() != before)
                return true;
        }
    }
    return layOutHomeScreenAhead(m_springBoard, screen);
}
