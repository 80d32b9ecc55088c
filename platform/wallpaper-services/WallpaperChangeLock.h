#pragma once
// One wallpaper change at a time on the device. A change writes up to four files (the
// lock screen's bitmap and thumbnail, the home screen's); two changes made at once by two
// processes would each replace some of them and leave the screens mixed. Each change holds
// an exclusive lock on "/var/mobile/Library/SpringBoard/.wallpaper.lock" (flock, released
// when the holder ends, even by kill -9) from its first write to its last.

#include <string>

class WallpaperChangeLock {
public:
    // Waits for the lock. isHeld() is false, with why() set, when the lock file cannot be
    // opened or locked; the change must then not be made.
    WallpaperChangeLock();
    ~WallpaperChangeLock();
    WallpaperChangeLock(const WallpaperChangeLock&) = delete;
    WallpaperChangeLock& operator=(const WallpaperChangeLock&) = delete;

    bool isHeld() const { return m_fd >= 0; }
    const std::string& why() const { return m_why; }

    static constexpr const char* kPath = "/var/mobile/Library/SpringBoard/.wallpaper.lock";

private:
    int m_fd = -1;
    std::string m_why;
};
