#pragma once
// FBProcess: FrontBoard's record of an app process: bundleIdentifier, name (the
// executable's name, what killall takes), pid ("i@:"), isRunning and isForeground
// ("B@:"). SpringBoard asks isForeground whenever it wants to know whether the app is in
// front; FBProcessManager makes, brings forward and ends the processes.

#include "ClassBuilder.h"

#include <string>

class FBProcess : public objc_object {
public:
    static void declare(ClassBuilder&, int iosMajor);

    std::string bundleIdentifier() const;
    std::string name() const;
    int pid() const { return m_pid; }
    bool isRunning() const { return m_running; }
    bool isForeground() const { return m_foreground; }

private:
    friend class FBProcessManager;
    id m_bundleIdentifier;
    id m_name;
    int m_pid { 0 };
    bool m_running { false };
    bool m_foreground { false };
};
