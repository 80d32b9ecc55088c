#include "TouchCommand.h"

#include "HostControl.h"
#include "ScreenTouch.h"
#include "UIScreen.h"

#include <fmt/format.h>

#include <cmath>

namespace TouchCommand {

void addControlCommand(HostControl& control)
{
    control.add("touch", [](const ControlServer::Json& request) {
        double x = request.at("x").get<double>();
        double y = request.at("y").get<double>();
        long long taps = request.value("taps", 1LL);
        if (taps < 1 || taps > 3)
            throw ControlError(fmt::format("a touch is 1 to 3 taps, not {}", taps));
        CGRect screen = UIScreen::mainScreenBounds();
        if (!std::isfinite(x) || !std::isfinite(y) || x < 0 || y < 0 || x >= screen.size.width || y >= screen.size.height)
            throw ControlError(fmt::format("the point ({}, {}) is off the screen ({} x {} points)", x, y, screen.size.width, screen.size.height));
        SpringBoardApp& springBoard = runningSpringBoard();
        HostControl::settle();
        auto result = ScreenTouch(springBoard).touch({ x, y }, static_cast<unsigned long long>(taps));
        HostControl::settle();
        return result;
    });
    control.add("locate", [](const ControlServer::Json& request) {
        std::string text = request.at("text").get<std::string>();
        HostControl::settle();
        auto frame = ScreenTouch(runningSpringBoard()).locate(text);
        if (!frame)
            return ControlServer::Json { { "found", false } };
        return ControlServer::Json { { "found", true }, { "x", frame->origin.x }, { "y", frame->origin.y }, { "width", frame->size.width },
            { "height", frame->size.height } };
    });
}

} // namespace TouchCommand
