#pragma once
// The respring: start the system's sbreload, which restarts SpringBoard (this very
// process), and wait for it. Blocks the calling thread until sbreload has ended; callers
// rely on nothing after it.
void respring();
