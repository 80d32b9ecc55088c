#pragma once
// The device's clock: seconds since the device booted, the same in every process, so
// that the trace of several processes reads as one story.
//
// The supervisor decides the kind of clock at boot and writes it to the clock file:
// - "real B": time runs; B is the steady clock's reading at boot, and every process
//   computes now - B from its own steady clock (CLOCK_MONOTONIC is machine-wide);
// - "virtual T": time stands still at T. SpringBoard owns the virtual clock: its run loop
//   starts at T and, whenever its time moves, it writes the new T back, so a tool started
//   by a SpringBoard timer at virtual second 10800 stamps its events 10800 too.

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
    static void publishVirtual(double secondsSinceBoot) { write({ Kind::Virtual, secondsSinceBoot }); }
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

    static std::string format(const Setting& setting);
    static std::optional<Setting> parse(const std::string& text);
};
