#pragma once
// Every device path the product names ("/var/mobile/Library/...") is resolved under the
// device root: the folder named by KAVLOR_DEVICE_ROOT, or "/" when it is unset, as on a
// device. Every file access, spawn, dlopen and shell command goes through devicePath().

#include <string>
#include <string_view>

// The device root in force now (read from the environment at each call, so tests and
// the simulator may change it).
std::string deviceRoot();

// The host path of a device path. Relative paths are returned unchanged; a path that
// already lies under the device root is not prefixed twice. "." and ".." are resolved
// first, as the kernel resolves them: ".." of the device's "/" is "/" again, so no device
// path ("/../../etc/shadow") names a file outside the device root.
std::string devicePath(std::string_view path);

// Whether an absolute device path climbs above "/" with ".." ("/../etc", "/a/../../b"):
// tools refuse such a path a person typed rather than quietly reading it as another.
bool climbsAboveDeviceRoot(std::string_view path);
