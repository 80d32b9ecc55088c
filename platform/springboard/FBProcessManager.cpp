#include "FBProcessManager.h"

#include "FBProcess.h"
#include "SpringBoardState.h"
#include "Trace.h"
#include "UIKitSupport.h"

using UIKitSupport::objectAs;

namespace {

FBProcessManager& managerOf(const id& self) { return objectAs<FBProcessManager>(self, "FBProcessManager"); }

} // namespace

id FBProcessManager::shared()
{
    return SpringBoardState::sharedInstanceOf("FBProcessManager");
}

id FBProcessManager::process(const std::string& bundleIdentifier) const
{
    for (const auto& process : m_processes) {
        if (process.as<FBProcess>()->bundleIdentifier() == bundleIdentifier)
            return process;
    }
    return nil;
}

id FBProcessManager::launch(const std::string& bundleIdentifier, const std::string& name)
{
    backgroundAll();
    id process = this->process(bundleIdentifier);
    if (!process) {
        process = UIKitSupport::allocInit("FBProcess");
        auto& record = *process.as<FBProcess>();
        record.m_bundleIdentifier = NSString::string(bundleIdentifier);
        record.m_name = NSString::string(name);
        record.m_pid = m_nextPid++;
        record.m_running = true;
        m_processes.push_back(process);
        Trace::emit("process-launched", { { "bundleIdentifier", bundleIdentifier }, { "name", name }, { "appPid", std::to_string(record.m_pid) } });
    }
    process.as<FBProcess>()->m_foreground = true;
    return process;
}

void FBProcessManager::backgroundAll()
{
    for (const auto& process : m_processes)
        process.as<FBProcess>()->m_foreground = false;
}

bool FBProcessManager::terminate(const std::string& bundleIdentifier, const std::string& reason)
{
    id process = this->process(bundleIdentifier);
    if (!process)
        return false;
    auto& record = *process.as<FBProcess>();
    record.m_running = false;
    record.m_foreground = false;
    std::erase(m_processes, process);
    Trace::emit("process-terminated", { { "bundleIdentifier", bundleIdentifier }, { "reason", reason } });
    return true;
}

void FBProcessManager::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<FBProcessManager>()
        .classMethod("sharedInstance", [](id cls, SEL) -> id { return SpringBoardState::sharedInstanceOf(cls); })
        .method("processesForBundleIdentifier:", [](id self, SEL, id bundleID) -> id {
            id process = managerOf(self).process(UIKitSupport::stringValue(bundleID));
            return process ? NSArray::array({ process }) : NSArray::array();
        })
        .method("allProcesses", [](id self, SEL) -> id { return NSArray::array(managerOf(self).processes()); });
}
