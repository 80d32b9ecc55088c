#include "LockScreenControl.h"

#include "DeviceUser.h"
#include "HostControl.h"
#include "SpringBoardApp.h"
#include "UIAlertAction.h"
#include "UIAlertController.h"

#include <fmt/format.h>

#include <map>

namespace LockScreenControl {

namespace {

using Json = ControlServer::Json;

std::string joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const auto& word : words)
        text += (text.empty() ? "" : ", ") + (word.empty() ? std::string("(no label)") : word);
    return text.empty() ? "none" : text;
}

// The panel the lock screen's list holds, if the tweak placed one.
id lockScreenPanel(SpringBoardApp& app)
{
    id controller = app.adjunctListViewController();
    if (!respondsToSelector(controller, "userAccountView"))
        return nil;
    return send<id>(controller, "userAccountView");
}

Json tapLockScreen(const Json& request)
{
    long long taps = request.value("taps", 1LL);
    if (taps < 1)
        throw ControlError(fmt::format("a tap on the lock screen is 1 or more taps, not {}", taps));
    HostControl::settle();
    bool recognized = DeviceUser(runningSpringBoard()).tapLockScreen(static_cast<unsigned long long>(taps));
    HostControl::settle();
    return Json { { "recognized", recognized } };
}

Json tapAccount(const Json& request)
{
    std::string name = request.at("name").get<std::string>();
    HostControl::settle();
    std::vector<std::string> tappable;
    if (!DeviceUser(runningSpringBoard()).tapLockScreenItem(name, &tappable))
        throw ControlError(fmt::format("no account \"{}\" that a finger reaches on the lock screen (accounts that can be tapped: {})", name,
            joined(tappable)));
    HostControl::settle();
    return Json::object();
}

Json tapPanelButton(const Json& request)
{
    static const std::map<std::string, const char*> buttons { { "settings", "settingButton" }, { "dismiss", "dismissButton" },
        { "respring", "respringButton" }, { "logout", "logoutButton" }, { "hide", "hideButton" } };
    std::string which = request.at("button").get<std::string>();
    auto found = buttons.find(which);
    if (found == buttons.end())
        throw ControlError(fmt::format("the panel has no \"{}\" button (settings, dismiss, respring, logout, hide)", which));
    HostControl::settle();
    SpringBoardApp& app = runningSpringBoard();
    id panel = lockScreenPanel(app);
    if (!panel)
        throw ControlError("the lock screen holds no account switcher panel (is Kavlor loaded with toggleKavlor on?)");
    app.runLayoutPass();
    if (!DeviceUser(app).tapButton(send<id>(panel, found->second), which))
        throw ControlError(fmt::format("the panel's {} ({}) cannot be tapped now: it is hidden, transparent or off screen", which, found->second));
    HostControl::settle();
    return Json::object();
}

Json describeAlert()
{
    HostControl::settle();
    id alert = runningSpringBoard().presentedAlert();
    auto object = alert.as<UIAlertController>();
    if (!object)
        return Json { { "presented", false } };
    Json actions = Json::array();
    for (const auto& action : object->actions())
        actions.push_back(action.as<UIAlertAction>()->titleString());
    return Json { { "presented", true }, { "title", object->titleString() }, { "message", object->messageString() }, { "actions", actions } };
}

Json tapAlert(const Json& request)
{
    std::string title = request.at("title").get<std::string>();
    HostControl::settle();
    SpringBoardApp& app = runningSpringBoard();
    id alert = app.presentedAlert();
    if (!alert)
        throw ControlError(fmt::format("no alert is presented, so there is no \"{}\" to tap", title));
    if (!DeviceUser(app).tapAlertButton(title)) {
        std::vector<std::string> titles;
        for (const auto& action : alert.as<UIAlertController>()->actions())
            titles.push_back(action.as<UIAlertAction>()->titleString());
        throw ControlError(fmt::format("the alert \"{}\" has no button \"{}\" (its buttons: {})", alert.as<UIAlertController>()->titleString(),
            title, joined(titles)));
    }
    HostControl::settle();
    return Json::object();
}

} // namespace

void addControlCommands(HostControl& control)
{
    control.add("lock", [](const Json&) {
        HostControl::settle();
        SpringBoardApp& app = runningSpringBoard();
        DeviceUser(app).lock();
        HostControl::settle();
        return Json { { "locked", app.isLocked() } };
    });
    control.add("tap-lockscreen", tapLockScreen);
    control.add("tap-account", tapAccount);
    control.add("tap-panel", tapPanelButton);
    control.add("alert", [](const Json&) { return describeAlert(); });
    control.add("alert-tap", tapAlert);
}

} // namespace LockScreenControl
