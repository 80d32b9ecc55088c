#pragma once
// NSTask: a program of the device started with arguments, the parent's environment and
// standard streams (kv_posix_spawn). As on the device, a task that is launched and left
// alone is reaped when it ends (a thread waits for each child), so no zombie stays.
//
// A launch path that cannot be started is reported on standard error; the task then
// counts as ended at once with status 127 (the shell's "could not be started").

#include "NSObjectValues.h"

#include <memory>
#include <sys/types.h>

class NSTask : public objc_object {
public:
    NSTask();
    ~NSTask() override;
    static Class cls();

    void setLaunchPath(const Id<NSString>& path) { m_launchPath = path; }
    const Id<NSString>& launchPath() const { return m_launchPath; }
    // Strings only; anything else is a RuntimeError at launch.
    // Copied, as on the device: a mutable array changed later does not change the task.
    void setArguments(const Id<NSArray>& arguments) { m_arguments = arguments ? NSArray::array(arguments->items()) : nullptr; }
    const Id<NSArray>& arguments() const { return m_arguments; }

    // Starts the program; answers whether it started. Launching without a launch path,
    // or a second time, is a RuntimeError.
    bool launch();
    // Blocks until the program has ended (at once after a failed launch).
    void waitUntilExit();
    bool isRunning() const;
    // The exit status, or the signal number for a program killed by a signal. A
    // RuntimeError while the task has not ended.
    int terminationStatus() const;
    pid_t processIdentifier() const;

private:
    struct Child;
    std::shared_ptr<Child> m_child;
    Id<NSString> m_launchPath;
    Id<NSArray> m_arguments;
};

void registerNSTaskClass();
