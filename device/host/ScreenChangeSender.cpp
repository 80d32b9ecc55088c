#include "ScreenChangeSender.h"

#include "RunLoop.h"
#include "ScreenChangeSignal.h"
#include "ScreenChanges.h"
#include "ScreenRenderer.h"

namespace ScreenChangeSender {

namespace {

// A little past the minute, so that the drawing that follows shows the new one.
constexpr double kPastTheMinuteSeconds = 0.002;

void markEachMinute()
{
    RunLoop::main().addTimer(Seconds { ScreenRenderer::secondsUntilClockChanges() + kPastTheMinuteSeconds }, [] {
        ScreenChanges::markChanged();
        markEachMinute();
    });
}

} // namespace

void startIfServed()
{
    int fd = ScreenChangeSignal::inheritedFd();
    if (fd < 0)
        return;
    ScreenChanges::setListener([fd] { ScreenChangeSignal::tell(fd); });
    markEachMinute();
}

} // namespace ScreenChangeSender
