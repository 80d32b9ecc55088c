#pragma once
// murvex's entry: makes the process root, then runs the one command it was started with.

// Runs the command named by argv[1] (arguments after those a command takes are ignored)
// and answers the exit status, which is 1 on every path.
int murvexMain(int argc, const char* const argv[]);
