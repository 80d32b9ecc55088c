#pragma once
// The control commands of a person on the lock screen and its account switcher panel,
// each through DeviceUser (SpringBoard's own messages, the buttons' target-actions, the
// collection view's delegate):
//
//   {"command":"lock"}                         -> {"locked": true}
//   {"command":"tap-lockscreen","taps":N}      -> {"recognized": bool}
//   {"command":"tap-account","name":NAME}      -> {}   (error: no such account a finger reaches)
//   {"command":"tap-panel","button":B}         -> {}   (B: settings, dismiss, respring, logout, hide)
//   {"command":"alert"}                        -> {"presented": bool, "title", "message", "actions": [...]}
//   {"command":"alert-tap","title":T}          -> {}   (error: no alert, or no such button)
//
// A tap that restarts SpringBoard (Respring) is never answered: the requester sees the
// connection close and waits for the new SpringBoard.

class HostControl;

namespace LockScreenControl {

void addControlCommands(HostControl& control);

} // namespace LockScreenControl
