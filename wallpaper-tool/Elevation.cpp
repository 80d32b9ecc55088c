#include "Elevation.h"

#include "DeviceRoot.h"

#include <cstdint>
#include <dlfcn.h>
#include <unistd.h>

namespace {

constexpr const char* kJailbreakLibrary = "/usr/lib/libjailbreak.dylib";
// Lazy binding, as the jailbreak's documentation asks for.
constexpr int kLazyBinding = RTLD_LAZY;
// The entitlement set that lets the kernel accept setuid(0) from this process.
constexpr uint64_t kEntitleFlags = 2;

using EntitleNow = void (*)(pid_t, uint64_t);
using FixSetuidNow = void (*)(pid_t);

// Looks a function up after clearing any pending loader error, so that the error test
// afterwards speaks of this lookup only.
void* lookUp(void* library, const char* name)
{
    dlerror();
    void* function = dlsym(library, name);
    if (dlerror())
        return nullptr;
    return function;
}

} // namespace

void fixSetuidForChimera()
{
    void* library = dlopen(devicePath(kJailbreakLibrary).c_str(), kLazyBinding);
    if (!library)
        return;

    auto entitleNow = reinterpret_cast<EntitleNow>(lookUp(library, "jb_oneshot_entitle_now"));
    if (!entitleNow)
        return;
    entitleNow(getpid(), kEntitleFlags);

    auto fixSetuidNow = reinterpret_cast<FixSetuidNow>(lookUp(library, "jb_oneshot_fix_setuid_now"));
    if (!fixSetuidNow)
        return;
    fixSetuidNow(getpid());

    // The results are not needed: whatever rights these give are the rights the command
    // runs with.
    (void)!setuid(0);
    (void)!setgid(0);
    (void)!setuid(0);
    (void)!setgid(0);
}
