#pragma once
// FolderWatch: calls back, on a thread of its own, as soon as a file in a folder is written
// or made (inotify), so that the web server's watcher reads the device's trace when it
// grows instead of looking every so often: SpringBoard's "ready" after a respring, and
// everything else the trace tells, reaches the page without waiting for the next look.

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class FolderWatch {
public:
    // Starts watching `folder` (which must exist); `changed` is called for each batch of
    // changes. Without inotify nothing is called, and the watcher's own looks remain.
    FolderWatch(const std::string& folder, std::function<void()> changed);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    bool isWatching() const { return m_fd >= 0; }

private:
    void run();

    int m_fd = -1;
    std::function<void()> m_changed;
    std::atomic<bool> m_stopping { false };
    std::thread m_thread;
};
