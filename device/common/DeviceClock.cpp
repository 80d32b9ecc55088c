#include "DeviceClock.h"

#include "DeviceFiles.h"
#include "DeviceRoot.h"
#include "FileSystem.h"
#include "RunLoop.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t kVirtualBit = 1;

// The clock file mapped into this process, remapped when the device root or the file
// changes (each boot writes a new file).
class ClockMapping {
public:
    std::uint64_t* word()
    {
        std::string path = devicePath(DeviceFiles::kClockFile);
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || info.st_size < static_cast<off_t>(sizeof(std::uint64_t))) {
            unmap();
            return nullptr;
        }
        if (m_word && path == m_path && info.st_ino == m_inode && info.st_dev == m_device)
            return m_word;
        unmap();
        int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        bool writable = (::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDWR;
        void* mapped = ::mmap(nullptr, sizeof(std::uint64_t), writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
        ::close(fd);
        if (mapped == MAP_FAILED)
            return nullptr;
        m_word = static_cast<std::uint64_t*>(mapped);
        m_writable = writable;
        m_path = path;
        m_inode = info.st_ino;
        m_device = info.st_dev;
        return m_word;
    }
    bool writable() const { return m_writable; }

private:
    void unmap()
    {
        if (m_word)
            ::munmap(m_word, sizeof(std::uint64_t));
        m_word = nullptr;
    }

    std::uint64_t* m_word = nullptr;
    bool m_writable = false;
    std::string m_path;
    ino_t m_inode = 0;
    dev_t m_device = 0;
};

struct ClockState {
    std::mutex mutex;
    ClockMapping mapping;
    RunLoop* loop = nullptr;  // set in the process that owns the clock
    DeviceClock::Kind kind = DeviceClock::Kind::Real;
    double bootSteady = 0;       // Real
    double lastPublished = NAN;  // Virtual
};

ClockState& state()
{
    static ClockState clockState;
    return clockState;
}

// Seconds since the steady clock's epoch, and of a run loop's clock: what the shared word counts.
double steadyNow()
{
    return RealClock().now().time_since_epoch().count();
}

double secondsOf(ClockTime time)
{
    return time.time_since_epoch().count();
}

} // namespace

std::uint64_t DeviceClock::encode(const Setting& setting)
{
    auto microseconds = static_cast<std::int64_t>(std::llround(setting.value * 1e6));
    return (static_cast<std::uint64_t>(microseconds) << 1) | (setting.kind == Kind::Virtual ? kVirtualBit : 0);
}

DeviceClock::Setting DeviceClock::decode(std::uint64_t word)
{
    auto microseconds = static_cast<std::int64_t>(word) >> 1;
    return { word & kVirtualBit ? Kind::Virtual : Kind::Real, static_cast<double>(microseconds) / 1e6 };
}

std::optional<DeviceClock::Setting> DeviceClock::read()
{
    auto& clock = state();
    std::lock_guard lock(clock.mutex);
    std::uint64_t* word = clock.mapping.word();
    if (!word)
        return std::nullopt;
    return decode(std::atomic_ref<std::uint64_t>(*word).load(std::memory_order_acquire));
}

bool DeviceClock::write(const Setting& setting)
{
    // A new file, renamed into place: processes of an earlier boot keep their own.
    std::uint64_t word = encode(setting);
    std::vector<uint8_t> bytes(sizeof word);
    std::memcpy(bytes.data(), &word, sizeof word);
    FileSystem::createDirectories("/var/run/kavlor");
    return FileSystem::writeFile(DeviceFiles::kClockFile, bytes);
}

void DeviceClock::publishVirtual(double secondsSinceBoot)
{
    auto& clock = state();
    {
        std::lock_guard lock(clock.mutex);
        std::uint64_t* word = clock.mapping.word();
        if (word && clock.mapping.writable()) {
            std::atomic_ref<std::uint64_t>(*word).store(encode({ Kind::Virtual, secondsSinceBoot }), std::memory_order_release);
            return;
        }
    }
    write({ Kind::Virtual, secondsSinceBoot });
}

void DeviceClock::publishRealBootingNow()
{
    write({ Kind::Real, steadyNow() });
}

double DeviceClock::now()
{
    {
        auto& clock = state();
        std::lock_guard lock(clock.mutex);
        if (clock.loop)
            return clock.kind == Kind::Virtual ? secondsOf(clock.loop->now()) : steadyNow() - clock.bootSteady;
    }
    auto setting = read();
    if (!setting)
        return 0;
    return setting->kind == Kind::Virtual ? setting->value : steadyNow() - setting->value;
}

DeviceClock::Kind DeviceClock::adoptFor(RunLoop& loop)
{
    auto setting = read().value_or(Setting { Kind::Real, steadyNow() });
    auto& clock = state();
    std::lock_guard lock(clock.mutex);
    clock.loop = &loop;
    clock.kind = setting.kind;
    if (setting.kind == Kind::Virtual) {
        loop.useVirtualClock(ClockTime(Seconds(setting.value)));
        clock.lastPublished = setting.value;
    } else {
        loop.useRealClock();
        clock.bootSteady = setting.value;
    }
    return setting.kind;
}

void DeviceClock::publishIfMoved()
{
    auto& clock = state();
    double time;
    {
        std::lock_guard lock(clock.mutex);
        if (!clock.loop || clock.kind != Kind::Virtual)
            return;
        time = secondsOf(clock.loop->now());
        if (time == clock.lastPublished)
            return;
        clock.lastPublished = time;
    }
    publishVirtual(time);
}

void DeviceClock::reset()
{
    auto& clock = state();
    std::lock_guard lock(clock.mutex);
    clock.loop = nullptr;
    clock.kind = Kind::Real;
    clock.lastPublished = NAN;
}
