#pragma once
// The control command that draws the device's screen:
//
//   {"command":"screenshot","path":HOST_PATH,"passcode":false,"format":"png","scale":S}
//       -> {"path", "width", "height", "scale", "screenScale", "locked"}
//
// writes what the screen shows now (ScreenRenderer), at the screen's size in points times
// its scale, or times S pixels a point where S is coarser (the scale a browser's display
// shows; "scale" in the answer is the one drawn at, "screenScale" the screen's own); with
// "passcode" true, the lock screen's passcode prompt. "format" "png" (the
// default) writes a PNG; "bgra" draws the bare pixels (width × height × 4 bytes, BGRA
// premultiplied, top row first) straight into the file, which is made or sized for them
// and stays mapped: the device's web server maps the same file (in /dev/shm), compares the
// pixels with the picture before and sends on only what changed.

class HostControl;

namespace ScreenshotCommand {

void addControlCommand(HostControl& control);

} // namespace ScreenshotCommand
