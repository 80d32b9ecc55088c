#pragma once
// The device paths that the simulated device's own programs agree on. Each is a device
// path: resolve it with devicePath() before touching the host file system.

namespace DeviceFiles {

// One JSON object a line, appended by every process of the device.
inline constexpr const char* kTraceFile = "/var/log/kavlor-trace.jsonl";
// The device's clock: "virtual SECONDS" or "real STEADY-SECONDS-AT-BOOT" (DeviceClock).
inline constexpr const char* kClockFile = "/var/run/kavlor/clock";
// One file per running process of the device, named by its pid (ProcessTable).
inline constexpr const char* kProcessDirectory = "/var/run/kavlor/processes";

inline constexpr const char* kSpringBoardExecutable = "/System/Library/CoreServices/SpringBoard.app/SpringBoard";
inline constexpr const char* kSpringBoardBundleIdentifier = "com.apple.springboard";
inline constexpr const char* kSystemVersionFile = "/System/Library/CoreServices/SystemVersion.plist";
inline constexpr const char* kDeviceConfigurationFile = "/var/mobile/Library/kavlor-device.plist";

inline constexpr const char* kSubstrateLoader = "/Library/MobileSubstrate/MobileSubstrate.dylib";
inline constexpr const char* kDynamicLibraries = "/Library/MobileSubstrate/DynamicLibraries";

inline constexpr const char* kSbreload = "/usr/bin/sbreload";
inline constexpr const char* kKillall = "/usr/bin/killall";

} // namespace DeviceFiles
