#include "HostControl.h"

#include "SpringBoardApp.h"

#include "DarwinNotifyCenter.h"
#include "DeviceClock.h"
#include "HookListing.h"
#include "Block.h"
#include "DeviceTrace.h"
#include "NSNotificationCenter.h"
#include "NSOperationQueue.h"
#include "RunLoop.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace {

constexpr int kMaxSettleRounds = 1000;

double secondsArgument(const ControlServer::Json& request, const char* key)
{
    double value = request.at(key).get<double>();
    if (!std::isfinite(value))
        throw ControlError(fmt::format("\"{}\" must be a finite number of seconds", key));
    return value;
}

// Moves the virtual clock to `target` one timer at a time, publishing each fire time
// before the timer runs: a process that the timer starts (sbreload when a time limit runs
// out, a kill task) reads the clock file at once and must find the time it was started at.
void advanceTo(ClockTime target)
{
    auto& loop = RunLoop::main();
    for (;;) {
        ClockTime now = loop.now();
        auto next = loop.nextTimerFireTime();
        ClockTime step = next && *next <= target ? std::max(*next, now) : target;
        DeviceClock::publishVirtual(step.time_since_epoch().count());
        loop.advanceBy(step - now);
        if (step >= target) {
            auto due = loop.nextTimerFireTime();
            if (!due || *due > target)
                return;
        }
    }
}

} // namespace

HostControl::HostControl(ControlServer& server)
    : m_server(server)
{
    addCoreCommands();
}

void HostControl::settle()
{
    auto& loop = RunLoop::main();
    for (int round = 0; round < kMaxSettleRounds; ++round) {
        int delivered = DarwinNotifyCenter::shared().drainPendingNow();
        bool rested = loop.settle();
        if (delivered == 0 && rested && !loop.hasPendingWork())
            return;
    }
    throw ControlError("SpringBoard's run loop did not come to rest (something keeps queueing work)");
}

void HostControl::addCoreCommands()
{
    add("ping", [](const ControlServer::Json&) {
        return ControlServer::Json { { "pid", static_cast<int>(::getpid()) }, { "time", DeviceClock::now() } };
    });
    add("settle", [](const ControlServer::Json&) {
        settle();
        DeviceClock::publishIfMoved();
        return ControlServer::Json { { "time", DeviceClock::now() } };
    });
    add("wait", [](const ControlServer::Json& request) {
        auto& loop = RunLoop::main();
        if (!loop.virtualClock())
            throw ControlError("SpringBoard runs on the real clock (the device was booted interactively); time cannot be moved");
        settle();
        ClockTime now = loop.now();
        Seconds step = request.contains("until") ? ClockTime(Seconds(secondsArgument(request, "until"))) - now
                                                 : Seconds(secondsArgument(request, "seconds"));
        if (step < Seconds::zero())
            throw ControlError(fmt::format("time only moves forward (asked for {} s)", step.count()));
        advanceTo(now + step);
        settle();
        DeviceClock::publishIfMoved();
        return ControlServer::Json { { "time", loop.now().time_since_epoch().count() } };
    });
    add("post-local", [](const ControlServer::Json& request) {
        std::string name = request.at("name").get<std::string>();
        if (name.empty())
            throw ControlError("a notification needs a name");
        settle();
        NSNotificationCenter::defaultCenter()->postNotificationName(NSString::string(name), nil, nullptr);
        settle();
        return ControlServer::Json::object();
    });
    // Watches a local notification name and traces each delivery with what it carried,
    // "observed" {centre, name, object, userInfo}, so a script can check that a posting
    // came without an object. Lasts as long as this SpringBoard.
    add("observe-local", [](const ControlServer::Json& request) {
        std::string name = request.at("name").get<std::string>();
        if (name.empty())
            throw ControlError("a notification needs a name");
        auto block = makeBlock<void(id)>([](id argument) {
            auto notification = argument.as<NSNotification>();
            if (!notification)
                return;
            const id& object = notification->object();
            const auto& userInfo = notification->userInfo();
            DeviceTrace::write("observed", { { "centre", "local" }, { "name", notification->name()->utf8() },
                { "object", object ? object_getClassName(object) : "nil" },
                { "userInfo", userInfo ? fmt::format("{} entries", userInfo->count()) : "nil" } });
        });
        NSNotificationCenter::defaultCenter()->addObserverForName(NSString::string(name), nil, NSOperationQueue::mainQueue(), block);
        return ControlServer::Json::object();
    });
    add("hooks", [](const ControlServer::Json&) {
        return ControlServer::Json { { "hooks", HookListing::toJson(HookListing::installedRows()) } };
    });
}

SpringBoardApp& runningSpringBoard()
{
    SpringBoardApp* app = SpringBoardApp::current();
    if (!app)
        throw ControlError("SpringBoard has not launched");
    return *app;
}
