#include "GuestVisitControl.h"

#include "DeviceUser.h"
#include "HostControl.h"
#include "NSTimer.h"
#include "SpringBoardApp.h"
#include "UILabel.h"

#include <cstring>

namespace {

using Json = ControlServer::Json;

// The label added last to the status-bar window, or nil.
id newestStatusBarLabel(const id& statusBarWindow)
{
    auto window = UIView::from(statusBarWindow);
    if (!window)
        return nil;
    const auto& subviews = window->subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        if (it->as<UILabel>())
            return *it;
    }
    return nil;
}

bool countdownTimerRuns(const id& statusBarWindow)
{
    for (const auto& timer : NSTimer::scheduledTimers()) {
        if (timer->target() == statusBarWindow && timer->selector() && std::strcmp(sel_getName(timer->selector()), "timerFired") == 0)
            return true;
    }
    return false;
}

} // namespace

void addGuestVisitControlCommands(HostControl& control)
{
    // The passcode pad: a passcode typed on the lock screen.
    control.add("unlock", [](const Json& request) {
        std::string passcode = request.at("passcode").get<std::string>();
        HostControl::settle();
        bool answer = DeviceUser(runningSpringBoard()).attemptUnlock(passcode);
        HostControl::settle();
        return Json { { "answer", answer }, { "locked", runningSpringBoard().isLocked() } };
    });
    control.add("lock-state", [](const Json&) { return Json { { "locked", runningSpringBoard().isLocked() } }; });
    control.add("switcher", [](const Json&) {
        return Json { { "layouts", runningSpringBoard().switcherBundleIdentifiers() } };
    });
    // The home button: every app goes back and the home screen appears again.
    control.add("go-home", [](const Json&) {
        HostControl::settle();
        DeviceUser(runningSpringBoard()).goHome();
        HostControl::settle();
        return Json::object();
    });
    control.add("countdown", [](const Json&) {
        id window = runningSpringBoard().statusBarWindow();
        id label = newestStatusBarLabel(window);
        if (!label)
            return Json { { "label", false }, { "timer", countdownTimerRuns(window) } };
        return Json { { "label", true }, { "text", label.as<UILabel>()->textString() }, { "alpha", send<double>(label, "alpha") },
            { "timer", countdownTimerRuns(window) } };
    });
}
