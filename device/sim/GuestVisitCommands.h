#pragma once
// The scenario commands and `expect` forms of a guest's visit: typing a passcode on the
// lock screen, the home button, the app switcher and the countdown label.

#include "Expectations.h"
#include "ScenarioRunner.h"

#include <vector>

std::vector<ScenarioCommand> guestVisitCommands();
std::vector<ExpectationDefinition> guestVisitExpectations();
