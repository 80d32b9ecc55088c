#include "ScreenshotCommand.h"

#include "HostControl.h"
#include "ScreenRenderer.h"
#include "MessageSend.h"
#include "SpringBoardApp.h"
#include "UIScreen.h"

namespace ScreenshotCommand {

void addControlCommand(HostControl& control)
{
    control.add("screenshot", [](const ControlServer::Json& request) {
        std::string path = request.at("path").get<std::string>();
        if (path.empty() || path.front() != '/')
            throw ControlError("a screenshot needs an absolute path for its picture");
        SpringBoardApp& springBoard = runningSpringBoard();
        HostControl::settle();
        auto overlay = request.value("passcode", false) ? ScreenRenderer::Overlay::PasscodePrompt : ScreenRenderer::Overlay::None;
        ScreenRenderer renderer(springBoard);
        Bitmap picture = renderer.draw(overlay);
        if (std::string error = renderer.writePNG(path, overlay); !error.empty())
            throw ControlError(error);
        double scale = send<double>(UIScreen::mainScreen(), "scale");
        return ControlServer::Json { { "path", path }, { "width", picture.width }, { "height", picture.height }, { "scale", scale } };
    });
}

} // namespace ScreenshotCommand
