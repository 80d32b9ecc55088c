#pragma once
// Runs a program of the build as a child process, as a user or the supervisor would, and
// tells how long it took and the most memory it held (its peak resident set).

#include <string>
#include <vector>

struct ChildProcessRun {
    double seconds { 0 };
    double peakMegabytes { 0 };
    int exitStatus { -1 };

    // Runs `arguments` (the program first) with standard output and error sent to
    // /dev/null and `environment` added to this process's own ("NAME=value"); the time
    // and peak are the program's own, from fork to exit (kavlor-bench-run).
    static ChildProcessRun run(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {});
};

// The folder of the benchmarks' devices (bench/make-big-device.sh), from
// KAVLOR_BENCH_DEVICES; empty when that is not set.
std::string benchDevicesFolder();
// The folder holding this program (the build's bin folder).
std::string benchProgramFolder();
