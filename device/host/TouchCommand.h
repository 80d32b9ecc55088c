#pragma once
// The control command of a finger on the screen at a point (ScreenTouch):
//
//   {"command":"touch","x":X,"y":Y,"taps":N}  -> {"reached":..., ...}  (points; taps default 1)
//   {"command":"locate","text":T}             -> {"found":B,"x","y","width","height"}
//       where the screen shows T so that a finger reaches it (ScreenTouch::locate)
//
// A touch that restarts SpringBoard (the panel's Respring) is never answered: the
// requester sees the connection close.

class HostControl;

namespace TouchCommand {

void addControlCommand(HostControl& control);

} // namespace TouchCommand
