#pragma once
// FBProcessManager: the app processes SpringBoard knows (sharedInstance). Apps are not
// real processes here: launching one makes (or brings forward) its FBProcess, the only
// one in front; terminating ends it. Messages: processesForBundleIdentifier:,
// allProcesses. Emits "process-launched" {bundleIdentifier, name, pid} and
// "process-terminated" {bundleIdentifier, reason}.

#include "ClassBuilder.h"

#include <string>
#include <vector>

class FBProcessManager : public objc_object {
public:
    static void declare(ClassBuilder&, int iosMajor);
    static id shared();

    // The running process of the app (nil when it does not run).
    id process(const std::string& bundleIdentifier) const;
    // Starts the app, or brings its running process forward; every other app goes back.
    id launch(const std::string& bundleIdentifier, const std::string& name);
    // Sends every app to the background (the home screen is in front).
    void backgroundAll();
    // Ends the app's process; answers NO when it was not running.
    bool terminate(const std::string& bundleIdentifier, const std::string& reason);
    const std::vector<id>& processes() const { return m_processes; }

private:
    std::vector<id> m_processes;
    int m_nextPid { 1000 };
};
