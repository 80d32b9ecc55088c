#include "DeviceClock.h"

#include "DeviceFiles.h"
#include "FileSystem.h"
#include "RunLoop.h"

#include <fmt/format.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <sstream>

namespace {

struct OwnedClock {
    std::mutex mutex;
    RunLoop* loop = nullptr;
    DeviceClock::Kind kind = DeviceClock::Kind::Real;
    double bootSteady = 0;       // Real
    double lastPublished = NAN;  // Virtual
};

OwnedClock& owned()
{
    static OwnedClock state;
    return state;
}

double steadyNow()
{
    return RealClock().now();
}

} // namespace

std::string DeviceClock::format(const Setting& setting)
{
    return fmt::format("{} {:.6f}\n", setting.kind == Kind::Virtual ? "virtual" : "real", setting.value);
}

std::optional<DeviceClock::Setting> DeviceClock::parse(const std::string& text)
{
    std::istringstream in(text);
    std::string kind;
    double value = 0;
    if (!(in >> kind >> value) || !std::isfinite(value))
        return std::nullopt;
    if (kind == "virtual")
        return Setting { Kind::Virtual, value };
    if (kind == "real")
        return Setting { Kind::Real, value };
    return std::nullopt;
}

std::optional<DeviceClock::Setting> DeviceClock::read()
{
    auto bytes = FileSystem::readFile(DeviceFiles::kClockFile);
    if (!bytes)
        return std::nullopt;
    return parse(std::string(bytes->begin(), bytes->end()));
}

bool DeviceClock::write(const Setting& setting)
{
    std::string text = format(setting);
    FileSystem::createDirectories("/var/run/kavlor");
    return FileSystem::writeFile(DeviceFiles::kClockFile, std::vector<uint8_t>(text.begin(), text.end()));
}

void DeviceClock::publishRealBootingNow()
{
    write({ Kind::Real, steadyNow() });
}

double DeviceClock::now()
{
    {
        auto& state = owned();
        std::lock_guard lock(state.mutex);
        if (state.loop)
            return state.kind == Kind::Virtual ? state.loop->now() : steadyNow() - state.bootSteady;
    }
    auto setting = read();
    if (!setting)
        return 0;
    return setting->kind == Kind::Virtual ? setting->value : steadyNow() - setting->value;
}

DeviceClock::Kind DeviceClock::adoptFor(RunLoop& loop)
{
    auto setting = read().value_or(Setting { Kind::Real, steadyNow() });
    auto& state = owned();
    std::lock_guard lock(state.mutex);
    state.loop = &loop;
    state.kind = setting.kind;
    if (setting.kind == Kind::Virtual) {
        loop.useVirtualClock(setting.value);
        state.lastPublished = setting.value;
    } else {
        loop.useRealClock();
        state.bootSteady = setting.value;
    }
    return setting.kind;
}

void DeviceClock::publishIfMoved()
{
    auto& state = owned();
    double time;
    {
        std::lock_guard lock(state.mutex);
        if (!state.loop || state.kind != Kind::Virtual)
            return;
        time = state.loop->now();
        if (time == state.lastPublished)
            return;
        state.lastPublished = time;
    }
    publishVirtual(time);
}

void DeviceClock::reset()
{
    auto& state = owned();
    std::lock_guard lock(state.mutex);
    state.loop = nullptr;
    state.kind = Kind::Real;
    state.lastPublished = NAN;
}
