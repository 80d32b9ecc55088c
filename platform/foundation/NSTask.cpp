#include "NSTask.h"
#include "ArgumentVector.h"

#include "Process.h"

#include <condition_variable>
#include <fmt/format.h>
#include <mutex>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

constexpr int kCouldNotStartStatus = 127;

} // namespace

// Shared with the thread that reaps the child, which may outlive the task object.
struct NSTask::Child {
    pid_t pid = 0;
    mutable std::mutex mutex;
    std::condition_variable ended;
    bool hasEnded = false;
    int status = 0;

    void finish(int terminationStatus)
    {
        std::lock_guard lock(mutex);
        hasEnded = true;
        status = terminationStatus;
        ended.notify_all();
    }
};

NSTask::NSTask() : objc_object(cls()) { }
NSTask::~NSTask() = default;

Class NSTask::cls()
{
    static Class cls = [] {
        if (Class existing = objc_getClass("NSTask"))
            return existing;
        return ClassBuilder("NSTask", NSObjectClass()).instancesOf<NSTask>().permanent().get();
    }();
    return cls;
}

bool NSTask::launch()
{
    if (m_child)
        throw RuntimeError(fmt::format("-[NSTask launch]: the task for {} was launched already", m_launchPath ? m_launchPath->utf8() : "?"));
    if (!m_launchPath)
        throw RuntimeError("-[NSTask launch]: no launch path was set");
    ArgumentVector argv;
    argv.add(m_launchPath->utf8());
    if (m_arguments) {
        for (const id& argument : *m_arguments) {
            auto text = argument.as<NSString>();
            if (!text)
                throw RuntimeError(fmt::format("-[NSTask launch]: an argument for {} is a {}, not a string", m_launchPath->utf8(), object_getClassName(argument)));
            argv.add(text->utf8());
        }
    }

    m_child = std::make_shared<Child>();
    pid_t pid = 0;
    if (kv_posix_spawn(&pid, m_launchPath->UTF8String(), nullptr, nullptr, argv.data(), environ) != 0) {
        m_child->finish(kCouldNotStartStatus);
        return false;
    }
    m_child->pid = pid;
    std::thread([child = m_child] {
        int status = 0;
        if (kv_waitpid(child->pid, &status, 4) < 0)
            child->finish(kCouldNotStartStatus);
        else
            child->finish(WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
    }).detach();
    return true;
}

void NSTask::waitUntilExit()
{
    if (!m_child)
        throw RuntimeError("-[NSTask waitUntilExit]: the task was never launched");
    std::unique_lock lock(m_child->mutex);
    m_child->ended.wait(lock, [&] { return m_child->hasEnded; });
}

bool NSTask::isRunning() const
{
    if (!m_child)
        return false;
    std::lock_guard lock(m_child->mutex);
    return !m_child->hasEnded;
}

int NSTask::terminationStatus() const
{
    if (!m_child)
        throw RuntimeError("-[NSTask terminationStatus]: the task was never launched");
    std::lock_guard lock(m_child->mutex);
    if (!m_child->hasEnded)
        throw RuntimeError(fmt::format("-[NSTask terminationStatus]: {} (process {}) is still running", m_launchPath->utf8(), m_child->pid));
    return m_child->status;
}

pid_t NSTask::processIdentifier() const { return m_child ? m_child->pid : 0; }

void registerNSTaskClass()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    ClassBuilder::extend(NSTask::cls())
        .method("setLaunchPath:", [](id self, SEL, id path) { self.as<NSTask>()->setLaunchPath(path.as<NSString>()); })
        .method("launchPath", [](id self, SEL) -> id { return self.as<NSTask>()->launchPath(); })
        .method("setArguments:", [](id self, SEL, id arguments) { self.as<NSTask>()->setArguments(arguments.as<NSArray>()); })
        .method("arguments", [](id self, SEL) -> id { return self.as<NSTask>()->arguments(); })
        .method("launch", [](id self, SEL) { self.as<NSTask>()->launch(); })
        .method("waitUntilExit", [](id self, SEL) { self.as<NSTask>()->waitUntilExit(); })
        .method("isRunning", [](id self, SEL) -> bool { return self.as<NSTask>()->isRunning(); })
        .method("terminationStatus", [](id self, SEL) -> int { return self.as<NSTask>()->terminationStatus(); })
        .method("processIdentifier", [](id self, SEL) -> int { return self.as<NSTask>()->processIdentifier(); });
}

static const bool taskClassRegistered = (registerNSTaskClass(), true);
