#pragma once
// `kavlor-sim serve`: the simulated device in a browser. Boots the device and serves, on
// 127.0.0.1 only, a page that shows its screen live and takes a person's taps, the passcode,
// the buttons, the clock (virtual clock only) and the guest form.
//
//   GET  /                 the page (the request token and the device's description in it)
//   GET  /app.js, /style.css
//   GET  /screen.png       the latest picture of the screen, whole (header X-Kavlor-Screen-Version)
//   GET  /screen/tiles?since=V  the tiles of the latest picture that changed after version V
//                          (every tile for 0), as ScreenTiles packs them
//   GET  /screen/stream?since=V&scale=S  the same, pushed for as long as the page reads: a
//                          frame (4 bytes of length, then the packed tiles) for each new
//                          picture, with what changed since the frame before: what the page
//                          draws, each tile with its slot (PageTileSlots: a tile the page
//                          keeps is sent as its slot alone). S, the pixels a point the page
//                          shows: the screen is drawn at
//                          the finest scale an open page shows, no finer than the device's
//                          own (its own when a page names none, or no page is open)
//   GET  /events           Server-Sent Events: "screen" {version, width, height, scale (pixels
//                          a point drawn at), locked, tiles (how many changed)},
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
// bounded waits; the screen is drawn by SpringBoard's screenshot command, straight into a
// file in /dev/shm that the server maps, as soon as SpringBoard tells that what it shows
// changed (ScreenChangeSignal), the trace grew or something was done; only the tiles that
// changed go to the pages.

#include <ostream>
#include <string>

struct ServeOptions {
    std::string deviceRoot;       // absolute
    int port = 0;                 // 0: a free port
    bool virtualClock = false;
    // A picture at least this often even when SpringBoard told of no change (0: never).
    double safetyRedrawSeconds = 5;
    std::string webFolder;        // the page's files
    std::string kavlorctlPath;
};

// Runs until SIGINT or SIGTERM; answers the exit status.
int runServe(const ServeOptions& options, std::ostream& out, std::ostream& err);
