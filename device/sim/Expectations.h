#pragma once
// `expect`: assertions on the trace and on the device's state. Each form is one entry of
// the table in Expectations.cpp. A miss throws ScenarioFailure with what was expected and
// what was seen.
//
// Event filters (for the trace forms) are words KEY=VALUE (the field equals VALUE),
// KEY!=VALUE (it does not) and KEY~TEXT (it contains TEXT). A VALUE of $pid stands for the
// running SpringBoard's pid, $previous-pid for the one that ran before the last action.

#include <functional>
#include <string>
#include <vector>

class ScenarioRunner;

struct ExpectationForm {
    std::string name;
    std::string usage;
    std::string description;
};
const std::vector<ExpectationForm>& expectationForms();

// A form as the table holds it. Groups of forms live in files of their own (the lock
// screen's in LockScreenCommands.cpp) and are added to the table in Expectations.cpp.
struct ExpectationEntry {
    ExpectationForm reference;
    size_t minWords;    // after the form's name
    long maxWords;      // -1: any
    size_t filtersFrom; // words from here on are event filters (npos: none)
    std::function<void(ScenarioRunner&, const std::vector<std::string>&)> run;
    std::function<void(const std::vector<std::string>&)> check;
};

void runExpectation(ScenarioRunner& runner, const std::vector<std::string>& arguments);
// Checks the form and its words without running it (throws ScenarioFailure).
void checkExpectation(const std::vector<std::string>& arguments);
