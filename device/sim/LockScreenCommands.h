#pragma once
// The scenario commands and `expect` forms of a person on the lock screen: the side button,
// taps on the lock screen and on the account switcher panel, and the alert presented.
//
//   lock                       the side button: SpringBoard locks, the lock screen shows again
//   tap lockscreen [N]         N taps (default 1) on the lock screen's scroll view
//   tap account NAME           tap the panel's account whose name reads NAME
//   tap settings|dismiss|respring|logout|hide   tap that button of the panel
//   alert                      print the presented alert (title, message, buttons)
//   alert tap TITLE            tap the presented alert's button TITLE
//
//   expect alert TITLE [BUTTONS]   an alert titled TITLE is presented now (BUTTONS: "YES|NO")
//   expect no-alert                no alert is presented now

#include "Expectations.h"
#include "ScenarioRunner.h"

#include <vector>

std::vector<ScenarioCommand> lockScreenCommands();
std::vector<ExpectationDefinition> lockScreenExpectations();
