#pragma once
// The process-wide objects of UIKit: the application, the current device and main screen,
// the live windows and the key window. Touched from the main thread only, as UIKit is.
// registerUIKitClasses() starts them afresh whenever it registers the classes.

#include "Object.h"

#include <vector>

class UIWindow;

struct UIKitState {
    id application;
    id device;
    id screen;
    std::vector<UIWindow*> windows; // every live window, oldest first (not held)
    UIWindow* keyWindow { nullptr };
    long long userInterfaceStyle { 1 }; // UIUserInterfaceStyle: light until changed

    static UIKitState& shared();
    static void reset();
};
