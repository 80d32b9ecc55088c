#pragma once
// Starts the device's wallpaper helper "/usr/bin/murvex" the way the preference bundle
// does: one command word ("saveAdminWall", "restoreAdminWall", "setWallGuest" with an
// image path, "respring") passed through unchanged, murvex's own output going straight to
// this program's output, and a wait until it has ended.
//
// murvex exits with status 1 on every path, so its status says nothing about success;
// what counts here is that it was started and ran to its end.

#include <string>
#include <vector>

namespace MurvexLauncher {

inline constexpr const char* kMurvexPath = "/usr/bin/murvex";

// Runs murvex with `arguments` and waits. Throws KavlorctlError when it is not installed,
// cannot be started, or is ended by a signal. Answers murvex's exit status.
int run(const std::vector<std::string>& arguments);

} // namespace MurvexLauncher
