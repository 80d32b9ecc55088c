#pragma once
// EventStream: the live updates the page listens to (Server-Sent Events). Each browser
// connection is a subscriber with a queue of its own; publishing never waits for a
// browser. A subscriber that leaves more than kMaxQueuedBytes unread (a slow or stopped
// browser) is dropped: its connection is closed and the page reconnects when it can.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class EventStream {
public:
    static constexpr std::size_t kMaxQueuedBytes = std::size_t(4) << 20;

    class Subscriber {
    public:
        // The next messages (already framed), waiting up to `timeoutSeconds`. Nothing when
        // the subscriber was dropped or the stream closed; an empty list on a timeout.
        std::optional<std::vector<std::string>> next(double timeoutSeconds);
        bool isDropped() const;

    private:
        friend class EventStream;
        mutable std::mutex m_mutex;
        std::condition_variable m_ready;
        std::deque<std::string> m_queue;
        std::size_t m_queuedBytes = 0;
        bool m_dropped = false;
    };

    // A new subscriber; `greeting` is queued first (the current state).
    std::shared_ptr<Subscriber> subscribe(const std::vector<std::string>& greeting);
    void unsubscribe(const std::shared_ptr<Subscriber>& subscriber);
    // Queues `event` (a name) with `data` (one line of JSON) for every subscriber.
    void publish(const std::string& event, const std::string& data);
    // Ends every subscription (the server stops).
    void close();
    std::size_t subscriberCount() const;

    // "event: NAME\ndata: DATA\n\n"
    static std::string frame(const std::string& event, const std::string& data);

private:
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Subscriber>> m_subscribers;
};
