// The SpringBoardFoundation framework stand-in: registers SBFWallpaperOptions when loaded.

#include "SBFWallpaperOptions.h"

#include <cstdio>
#include <exception>

namespace {

void registerWallpaperOptionsClass()
{
    // Loading the framework a second time (under another path) must not register twice.
    if (objc_getClass("SBFWallpaperOptions"))
        return;
    ClassBuilder("SBFWallpaperOptions", "NSObject")
        .instancesOf<SBFWallpaperOptions>()
        .method("wallpaperMode", [](id self, SEL) -> long long { return self.as<SBFWallpaperOptions>()->wallpaperMode(); })
        .method("setWallpaperMode:", [](id self, SEL, long long mode) { self.as<SBFWallpaperOptions>()->setWallpaperMode(mode); });
}

[[gnu::constructor]] void springBoardFoundationLoaded()
{
    try {
        registerWallpaperOptionsClass();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "SpringBoardFoundation: cannot register SBFWallpaperOptions: %s\n", error.what());
    }
}

} // namespace
