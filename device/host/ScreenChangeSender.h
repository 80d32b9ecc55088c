#pragma once
// ScreenChangeSender: tells the device's web server, through the ScreenChangeSignal its
// supervisor handed this SpringBoard, each run-loop turn in which what the screen shows
// changed (ScreenChanges' marks), and each minute the clocks on the screen move on (a
// change no setter makes: the time is read when the screen is drawn). Without a server it
// does nothing at all.

namespace ScreenChangeSender {

// Starts telling, when this SpringBoard was handed a signal.
void startIfServed();

} // namespace ScreenChangeSender
