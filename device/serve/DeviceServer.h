#pragma once
// `kavlor-sim serve`: the simulated device in a browser. Boots the device and serves, on
// 127.0.0.1 only, a page that shows its screen live and takes a person's taps, the passcode,
// the buttons, the clock (virtual clock only) and the guest form.
//
//   GET  /                 the page (the request token and the device's description in it)
//   GET  /app.js, /style.css
//   GET  /screen.png       the latest picture of the screen
//   GET  /events           Server-Sent Events: "screen" {version, width, height, scale},
//                          "springboard" {state: restarting|ready, pid}, "trace" (a trace line)
//   GET  /api/state        settings, accounts, lock state, clock
//   GET  /api/locate?text=T  where the screen shows T so that a finger reaches it
//   POST /api/touch {x, y, taps}      /api/unlock {passcode}     /api/home    /api/lock
//   POST /api/appearance {style}      /api/respring
//   POST /api/advance {seconds} or {to: "end"}   (virtual clock only; there, a touch also
//                          moves the clock 0.5 s, so that the transitions it starts end)
//   POST /api/users        multipart: name, passcode, avatar, wallpaper, block (many),
//                          timeLimit, disabledApps: runs kavlorctl, so every check applies
//
// Every request must name this server in its Host (no other name can reach it through a
// rebinding DNS); every POST carries the page's token (X-Kavlor-Token) and, when it has an
// Origin, this server's: else 403, so another site open in the same browser cannot drive
// the device. The server talks to SpringBoard only through its control channel, with
// bounded waits; the screen is drawn by SpringBoard's screenshot command when the trace
// grew, when something was done, and every second on the real clock.

#include <ostream>
#include <string>

struct ServeOptions {
    std::string deviceRoot;       // absolute
    int port = 0;                 // 0: a free port
    bool virtualClock = false;
    std::string webFolder;        // the page's files
    std::string kavlorctlPath;
};

// Runs until SIGINT or SIGTERM; answers the exit status.
int runServe(const ServeOptions& options, std::ostream& out, std::ostream& err);
