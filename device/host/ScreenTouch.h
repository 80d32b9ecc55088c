#pragma once
// ScreenTouch: a finger on the simulated device's screen at a point (in points, from the
// screen's top left), hit-tested as UIKit does and acted on as the touched thing expects.
//
// The point reaches, in this order:
// - a presented alert: the button drawn under the point (ScreenLayout); an alert is modal,
//   so a touch beside its buttons reaches nothing;
// - else the windows from the highest level down: in each visible window, the deepest view
//   under the point that a touch can reach (shown, alpha 0.01 or more, open to user
//   interaction, inside its superview's bounds, subviews front to back); a touch that falls
//   on a window's bare background goes on to the window below. From that view up:
//   - a control (a button): touch up inside, its targets get their actions;
//   - a collection view's cell: the collection view tells its delegate the item was selected;
//   - the home screen's root folder view: the icon drawn under the point is opened
//     (launch-app), a touch between icons does nothing;
//   - otherwise the tap recognizers of the view and its ancestors get the taps (the lock
//     screen's scroll view takes a double tap).
// A double tap acts on a control, a cell, an icon or an alert button once.

#include "SpringBoardApp.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

class ScreenTouch {
public:
    explicit ScreenTouch(SpringBoardApp& springBoard) : m_springBoard(springBoard) { }

    // What the touch reached:
    //   {"reached":"alert-button","title":T}   {"reached":"button","view":CLASS}
    //   {"reached":"item","view":CLASS,"item":N}  {"reached":"icon","bundleIdentifier":B}
    //   {"reached":"gesture","view":CLASS,"recognized":B}  {"reached":"nothing"}
    nlohmann::ordered_json touch(CGPoint point, unsigned long long taps);

    // Where the screen shows TEXT so that a finger reaches it, in screen points: an alert
    // button's title while an alert is presented; else a label (a cell's or a button's too)
    // in a visible window, whose view a touch reaches and which is the frontmost view at
    // its centre's window; or a home-screen icon's name. Nothing when it is not shown.
    std::optional<CGRect> locate(const std::string& text);

    // The executable name of an app (what killall takes), for an icon's bundle identifier.
    static std::string executableNameFor(const std::string& bundleIdentifier);

private:
    SpringBoardApp& m_springBoard;
};
