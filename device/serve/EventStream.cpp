#include "EventStream.h"

#include <algorithm>
#include <chrono>

std::optional<std::vector<std::string>> EventStream::Subscriber::next(double timeoutSeconds)
{
    std::unique_lock lock(m_mutex);
    m_ready.wait_for(lock, std::chrono::duration<double>(timeoutSeconds), [this] { return m_dropped || !m_queue.empty(); });
    if (m_dropped)
        return std::nullopt;
    std::vector<std::string> messages(m_queue.begin(), m_queue.end());
    m_queue.clear();
    m_queuedBytes = 0;
    return messages;
}

bool EventStream::Subscriber::isDropped() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

std::shared_ptr<EventStream::Subscriber> EventStream::subscribe(const std::vector<std::string>& greeting)
{
    auto subscriber = std::make_shared<Subscriber>();
    for (const auto& message : greeting) {
        subscriber->m_queue.push_back(message);
        subscriber->m_queuedBytes += message.size();
    }
    std::lock_guard lock(m_mutex);
    m_subscribers.push_back(subscriber);
    return subscriber;
}

void EventStream::unsubscribe(const std::shared_ptr<Subscriber>& subscriber)
{
    std::lock_guard lock(m_mutex);
    m_subscribers.erase(std::remove(m_subscribers.begin(), m_subscribers.end(), subscriber), m_subscribers.end());
}

void EventStream::publish(const std::string& event, const std::string& data)
{
    std::string message = frame(event, data);
    std::lock_guard lock(m_mutex);
    for (const auto& subscriber : m_subscribers) {
        std::lock_guard queueLock(subscriber->m_mutex);
        if (subscriber->m_dropped)
            continue;
        if (subscriber->m_queuedBytes + message.size() > kMaxQueuedBytes) {
            subscriber->m_dropped = true;
            subscriber->m_queue.clear();
            subscriber->m_queuedBytes = 0;
        } else {
            subscriber->m_queue.push_back(message);
            subscriber->m_queuedBytes += message.size();
        }
        subscriber->m_ready.notify_all();
    }
}

void EventStream::close()
{
    std::lock_guard lock(m_mutex);
    for (const auto& subscriber : m_subscribers) {
        std::lock_guard queueLock(subscriber->m_mutex);
        subscriber->m_dropped = true;
        subscriber->m_ready.notify_all();
    }
    m_subscribers.clear();
}

std::size_t EventStream::subscriberCount() const
{
    std::lock_guard lock(m_mutex);
    return m_subscribers.size();
}

std::string EventStream::frame(const std::string& event, const std::string& data)
{
    return "event: " + event + "\ndata: " + data + "\n\n";
}
