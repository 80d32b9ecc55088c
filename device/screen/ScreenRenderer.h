#pragma once
// ScreenRenderer: what the simulated device's screen shows, drawn to a picture at the
// screen's size in points times its scale, or at fewer pixels a point when asked (a browser
// page on an ordinary display shows an iPad's 2048x2732 pixels in 1024x1366).
//
// SpringBoard's windows are drawn in window-level order, each with its view tree
// (ViewPainter), over SpringBoard's own drawing, which is plain but recognisable:
// - the lock screen: the lock wallpaper (LockBackground.cpbitmap, aspect-fill; a gradient
//   when none is set), the time and date, then the notification list with the panel;
// - the passcode prompt, when asked for: the wallpaper dimmed, "Enter Passcode", six
//   dots and the keypad;
// - the home screen: the home wallpaper, the view tree (a guest's wallpaper view sits at
//   its back), the first page's icon grid with each app's name, and the dock;
// - the status bar: the time and a battery over the status-bar window's own views (the
//   countdown label is drawn as the tree has it: invisible while its alpha is 0);
// - an alert presented on one of SpringBoard's controllers: the screen dimmed and the
//   alert's title, message and buttons.
// The appearance (light or dark) and the device's kind (phone or pad: the screen's size
// and the grid) show in the picture.

#include "Bitmap.h"

#include <cairo.h>

class SpringBoardApp;

class ScreenRenderer {
public:
    enum class Overlay { None, PasscodePrompt };

    // `pixelsPerPoint`: 0 for the screen's own scale; else the scale to draw at, no finer
    // than the screen's own.
    explicit ScreenRenderer(SpringBoardApp& springBoard, double pixelsPerPoint = 0)
        : m_springBoard(springBoard)
        , m_pixelsPerPoint(pixelsPerPoint)
    {
    }

    struct PixelSize {
        uint32_t width, height;
    };
    // The screen's size in points times the scale drawn at.
    PixelSize pixelSize() const;
    // The scale drawn at.
    double pixelsPerPoint() const;

    Bitmap draw(Overlay overlay = Overlay::None) const;
    // Draws into `pixels`, pixelSize() in Bitmap's layout (BGRA premultiplied, rows tight):
    // memory of the caller's, such as a file mapped by another process too.
    void drawInto(uint8_t* pixels, Overlay overlay = Overlay::None) const;

    // How long until the time the screen shows (the lock screen's and the status bar's
    // clock, in minutes) moves on, on the clock SpringBoard runs on: nothing else marks it.
    static double secondsUntilClockChanges();
    // Draws ahead one of the things a picture may need next, at this renderer's scale: the
    // wallpapers (the lock screen's and the home screen's, in both appearances), then the
    // home screen's texts, laid out; so that a first unlock or a first switch of appearance
    // only copies and draws. Answers whether there was one to draw.
    bool prepareNextAhead() const;

private:
    void paintScreen(cairo_t* cairo, Overlay overlay) const;

    SpringBoardApp& m_springBoard;
    double m_pixelsPerPoint;
};
