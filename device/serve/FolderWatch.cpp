#include "FolderWatch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// How often the thread looks whether it should stop.
constexpr int kStopCheckMillis = 100;

} // namespace

FolderWatch::FolderWatch(const std::string& folder, std::function<void()> changed)
    : m_changed(std::move(changed))
{
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return;
    if (::inotify_add_watch(m_fd, folder.c_str(), IN_MODIFY | IN_CREATE | IN_MOVED_TO) < 0) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_thread = std::thread([this] { run(); });
}

FolderWatch::~FolderWatch()
{
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_fd >= 0)
        ::close(m_fd);
}

void FolderWatch::run()
{
    alignas(struct inotify_event) char events[4096];
    while (!m_stopping) {
        pollfd ready { m_fd, POLLIN, 0 };
        if (::poll(&ready, 1, kStopCheckMillis) <= 0)
            continue;
        bool any = false;
        while (::read(m_fd, events, sizeof events) > 0)
            any = true;
        if (any)
            m_changed();
    }
}
