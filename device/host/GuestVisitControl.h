#pragma once
// SpringBoard's control commands for a guest's visit: a passcode typed on the lock screen,
// the lock state, the app switcher, the home button, and the countdown label in the status
// bar as a person (or a debugger) would read it off the screen.
//
//   {"command":"unlock","passcode":P}  -> {"answer":B,"locked":B}
//   {"command":"lock-state"}            -> {"locked":B}
//   {"command":"switcher"}              -> {"layouts":[bundle identifier of each card's first app...]}
//   {"command":"go-home"}               -> {}
//   {"command":"countdown"}             -> {"label":B,"text":T,"alpha":A,"timer":B}
//       the newest label in the status-bar window, and whether a valid timer sends
//       timerFired to that window

class HostControl;

void addGuestVisitControlCommands(HostControl& control);
