#pragma once
// `kavlor-sim demo`: makes a fresh device, sets it up as the owner would, boots it and
// plays the road of one guest visit, telling each step (what the owner did, what
// SpringBoard did, what the tweak changed), and says where the device's files and trace are.

#include "DeviceInstaller.h"

#include <ostream>
#include <string>

struct DemoOptions {
    DeviceSpec spec;            // iOS 14 phone unless told otherwise
    std::string folder;         // empty: a fresh temporary folder
    bool json = false;          // the trace as JSON lines instead of the story
    bool pretty = false;        // every trace event, one line each, instead of the story
    std::string kavlorctlPath;
};

// The scenario the demo plays; its screenshots go into `storyFolder`.
std::string demoScript(const std::string& storyFolder);

int runDemo(const DemoOptions& options, std::ostream& out, std::ostream& err);
