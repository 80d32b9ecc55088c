#pragma once
// The control command that draws the device's screen:
//
//   {"command":"screenshot","path":HOST_PATH,"passcode":false} -> {"path", "width", "height", "scale"}
//
// writes a PNG of what the screen shows now (ScreenRenderer), at the screen's size in
// points times its scale; with "passcode" true, the lock screen's passcode prompt.

class HostControl;

namespace ScreenshotCommand {

void addControlCommand(HostControl& control);

} // namespace ScreenshotCommand
