#pragma once
// UIView's block animations, as class methods of UIView:
//
//   animateWithDuration:animations:                               "v@:d@"
//   animateWithDuration:animations:completion:                    "v@:d@@"
//   transitionWithView:duration:options:animations:completion:    "v@:@dQ@@"
//
// Nothing is drawn here, so an animation is its end state: the animations block runs at
// once (its changes applied in the order it makes them), and the completion block (taking
// the `finished` flag, YES, or nothing) runs `duration` seconds later on the main run
// loop's clock: under a virtual clock, when the controller moves time on. A duration of 0
// or less completes on the next turn of the main queue, as UIKit does.
//
// Each call emits the Trace event "view-animation" {kind: "animate" or "transition",
// view (the transition's view class, else ""), duration, options}.

namespace UIViewAnimation {

// Adds the class methods to UIView (called by UIView::declare's caller).
void declare();

} // namespace UIViewAnimation
