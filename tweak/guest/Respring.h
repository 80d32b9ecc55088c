#pragma once
// The respring: starts the system's sbreload, which restarts SpringBoard (this very
// process), and blocks until it has ended. Used by the start and end of guest mode and
// by the panel's Respring button.

void respring();
