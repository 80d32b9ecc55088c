#pragma once
// Runs a program of the host or the device to its end, as a person at a shell would, and
// collects what it printed. The wait is bounded: a program that does not end in time is
// killed and reported.

#include <string>
#include <vector>

struct ChildResult {
    bool started = false;
    bool timedOut = false;
    int exitStatus = -1;        // when it exited
    int signal = 0;             // when a signal ended it
    std::string out;
    std::string err;
    std::string startError;     // why it could not be started
    int pid = 0;
    double allowedSeconds = 0;  // the time it was given

    bool succeeded() const { return started && !timedOut && signal == 0 && exitStatus == 0; }
    // "exited with status 1", "killed by signal 9", "did not end within 30 s"...
    std::string describe() const;
};

// `program` is a host path; the child gets this process's environment.
ChildResult runChild(const std::string& program, const std::vector<std::string>& arguments, double timeoutSeconds);

// The processes whose parent is `parent` and that have not ended (zombies left out).
std::vector<int> liveChildrenOf(int parent);
// Waits until every one of `pids` has ended (or is gone); false when `timeoutSeconds` of
// real time passed first.
bool waitForProcessesToEnd(const std::vector<int>& pids, double timeoutSeconds);
