#include "ScreenshotCommand.h"

#include "HostControl.h"
#include "MappedFile.h"
#include "MessageSend.h"
#include "PNGEncoder.h"
#include "RunLoop.h"
#include "ScreenRenderer.h"
#include "SpringBoardApp.h"
#include "UIScreen.h"

#include <fmt/format.h>

#include <cmath>
#include <fstream>

namespace ScreenshotCommand {

namespace {

void writeFile(const std::string& path, const uint8_t* bytes, size_t length)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(length));
    out.close();
    if (!out)
        throw ControlError(fmt::format("cannot write {}", path));
}

// The screen drawn straight into the file, kept mapped for the next picture: the device's
// web server maps the same file and reads the pixels where they were drawn.
ScreenRenderer::PixelSize drawIntoSharedFile(const ScreenRenderer& renderer, const std::string& path, ScreenRenderer::Overlay overlay)
{
    static MappedFile shared;
    ScreenRenderer::PixelSize size = renderer.pixelSize();
    std::string error;
    uint8_t* pixels = shared.map(path, size_t(size.width) * size.height * Bitmap::bytesPerPixel, MappedFile::Access::ReadWrite, error);
    if (!pixels)
        throw ControlError(error);
    renderer.drawInto(pixels, overlay);
    return size;
}

// After the web server's first picture at a scale, what it may need next is drawn ahead at
// that scale, a piece a turn of the run loop, while nothing else is asked for.
void prepareNextLater(double pixelsPerPoint)
{
    RunLoop::main().enqueue([pixelsPerPoint] {
        if (ScreenRenderer(runningSpringBoard(), pixelsPerPoint).prepareNextAhead())
            prepareNextLater(pixelsPerPoint);
    });
}

void prepareAhead(double pixelsPerPoint)
{
    static double preparedFor = 0;
    if (pixelsPerPoint != preparedFor)
        prepareNextLater(pixelsPerPoint);
    preparedFor = pixelsPerPoint;
}

// The scale a request asks the picture drawn at: 0 (the screen's own) when it names none.
double askedPixelsPerPoint(const ControlServer::Json& request)
{
    auto asked = request.find("scale");
    if (asked == request.end())
        return 0;
    if (!asked->is_number() || !(asked->get<double>() > 0) || !std::isfinite(asked->get<double>()))
        throw ControlError(fmt::format("a screenshot's scale is a number of pixels a point above 0, not {}", asked->dump()));
    return asked->get<double>();
}

ScreenRenderer::PixelSize writePNG(const ScreenRenderer& renderer, const std::string& path, ScreenRenderer::Overlay overlay)
{
    Bitmap picture = renderer.draw(overlay);
    std::vector<uint8_t> png = encodePNG(picture);
    writeFile(path, png.data(), png.size());
    return { picture.width, picture.height };
}

} // namespace

void addControlCommand(HostControl& control)
{
    control.add("screenshot", [](const ControlServer::Json& request) {
        std::string path = request.at("path").get<std::string>();
        if (path.empty() || path.front() != '/')
            throw ControlError("a screenshot needs an absolute path for its picture");
        std::string format = request.value("format", std::string("png"));
        if (format != "png" && format != "bgra")
            throw ControlError(fmt::format("a screenshot is written as png or bgra, not \"{}\"", format));
        SpringBoardApp& springBoard = runningSpringBoard();
        HostControl::settle();
        auto overlay = request.value("passcode", false) ? ScreenRenderer::Overlay::PasscodePrompt : ScreenRenderer::Overlay::None;
        ScreenRenderer renderer(springBoard, askedPixelsPerPoint(request));
        auto size = format == "bgra" ? drawIntoSharedFile(renderer, path, overlay) : writePNG(renderer, path, overlay);
        if (format == "bgra")
            prepareAhead(renderer.pixelsPerPoint());
        return ControlServer::Json { { "path", path }, { "width", size.width }, { "height", size.height },
            { "scale", renderer.pixelsPerPoint() }, { "screenScale", send<double>(UIScreen::mainScreen(), "scale") },
            { "locked", springBoard.isLocked() } };
    });
}

} // namespace ScreenshotCommand
