#pragma once
// The device's clock: seconds since the device booted, the same in every process, so
// that the trace of several processes reads as one story.
//
// The supervisor decides the kind of clock at boot and writes it to the clock file:
// - real, B: time runs; B is the steady clock's reading at boot, and every process
//   computes now - B from its own steady clock (CLOCK_MONOTONIC is machine-wide);
// - virtual, T: time stands still at T. SpringBoard owns the virtual clock: its run loop
//   starts at T and, whenever its time moves, it writes the new T back, so a tool started
//   by a SpringBoard timer at virtual second 10800 stamps its events 10800 too.
//
// The file is one 64-bit word, read and written through a shared mapping with atomic
// loads and stores: SpringBoard publishes the time before each timer of a long wait (a
// three-hour countdown is 10800 of them), so a publication must cost next to nothing, and
// a reader must never see half of one.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class RunLoop;

class DeviceClock {
public:
    enum class Kind { Real, Virtual };
    struct Setting {
        Kind kind = Kind::Real;
        double value = 0;  // Real: steady seconds at boot. Virtual: seconds since boot.
    };

    // The clock file's setting, or nothing when the device has not booted (or the file
    // is unreadable).
    static std::optional<Setting> read();
    static bool write(const Setting& setting);
    // The owner of the clock moves it (through its mapping: no file is written).
    static void publishVirtual(double secondsSinceBoot);
    static void publishRealBootingNow();

    // Seconds since boot for a trace stamp in this process: the owner's run loop when this
    // process owns the clock, otherwise the clock file (0 when there is none).
    static double now();

    // Makes `loop` run on the device's clock: a virtual clock starting at the published
    // time, or the real clock. Answers the kind. Afterwards now() reads the loop, and
    // publishIfMoved() writes the loop's virtual time to the clock file when it changed.
    static Kind adoptFor(RunLoop& loop);
    static void publishIfMoved();
    // Forgets the adopted loop (tests).
    static void reset();

    // The file's word for a setting, and back (microsecond resolution).
    static std::uint64_t encode(const Setting& setting);
    static Setting decode(std::uint64_t word);
};
