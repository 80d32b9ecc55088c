// The jailbreak's library, "/usr/lib/libjailbreak.dylib", as this machine can have it.
// On a device its two calls ask the kernel to entitle the process and to make setuid(0)
// work for it. Nothing here can grant root, so the stand-in only records that it was
// loaded and each call it received, for the tests and the simulated device to check that
// a program asked for elevation when it had to, in the right order, with the right flags.

#include "WallpaperStandIns.h"
#include "ServiceLog.h"

#include <cstdint>
#include <sys/types.h>
#include <unistd.h>

namespace {

void recordLoad()
{
    ServiceLog::append(kJailbreakLogPath, { { "event", "loaded" }, { "pid", ::getpid() }, { "uid", ::getuid() } });
}

// Runs when the library is loaded, like an image initialiser on the device.
[[gnu::constructor]] void jailbreakLibraryLoaded()
{
    recordLoad();
}

} // namespace

extern "C" {

void jb_oneshot_entitle_now(pid_t pid, uint64_t flags)
{
    ServiceLog::append(kJailbreakLogPath,
        { { "event", "call" }, { "function", "jb_oneshot_entitle_now" }, { "pid", pid }, { "flags", flags } });
}

void jb_oneshot_fix_setuid_now(pid_t pid)
{
    ServiceLog::append(kJailbreakLogPath, { { "event", "call" }, { "function", "jb_oneshot_fix_setuid_now" }, { "pid", pid } });
}

} // extern "C"
