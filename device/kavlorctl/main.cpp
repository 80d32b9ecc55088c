// kavlorctl: the preference bundle of the simulated device, as a command-line program.
// It edits the accounts (user-data and app-list files) and the settings domain exactly as
// the bundle does on a device, and posts the account-change notification.

#include "CommandLine.h"

#include <iostream>

int main(int argc, char** argv)
{
    return CommandLine(std::cout, std::cerr).run(argc, argv);
}
