#pragma once
// NSNotificationCenter: the process's local notification centre.
//
// Postings are delivered synchronously, on the posting thread, before the post returns:
// to every observer whose name matches (an observer with a nil name gets every
// notification) and whose object is nil or the very object posted (identity, not
// equality), in the order the observers were added. An observer added while a posting
// is delivered does not get that posting; one removed meanwhile is not called any more.
// Observers registered with a queue are called the same way: the main queue is the only
// queue here, and postings are made on the main thread.
//
// The centre holds its observers, their objects and blocks strongly until they are
// removed. (On the device it holds selector observers weakly; here an observer that is
// never removed is kept alive, never called after it was freed.)
//
// Each posting emits the Trace event "notification" {centre "local", name}.

#include "NSNotification.h"
#include "NSOperationQueue.h"

#include <memory>
#include <mutex>
#include <vector>

class NSNotificationCenter : public objc_object {
public:
    NSNotificationCenter();
    ~NSNotificationCenter() override;
    static Class cls();
    static Id<NSNotificationCenter> defaultCenter();

    // addObserver:selector:name:object: — the observer's method is sent the NSNotification
    // (a method of type "v@:@", or "v@:" which is called without it).
    void addObserver(const id& observer, SEL selector, const Id<NSString>& name, const id& object);
    // addObserverForName:object:queue:usingBlock: — `block` is a makeBlock<void(id)>;
    // `queue` is nil or the main queue. Answers the token that removeObserver takes to end
    // the registration.
    id addObserverForName(const Id<NSString>& name, const id& object, const id& queue, const id& block);
    // Ends every registration of the observer (or token).
    void removeObserver(const id& observer);
    // Ends the observer's registrations that match the name and object (nil matches any).
    void removeObserver(const id& observer, const Id<NSString>& name, const id& object);

    // A nil name, or user info that is not a dictionary, is a programming error
    // (RuntimeError), as on the device.
    void postNotification(const Id<NSNotification>& notification);
    void postNotificationName(const Id<NSString>& name, const id& object, const id& userInfo = nil);

    size_t observerCount() const;
    // Forgets every observer: a fresh centre for the next test.
    void resetForTesting();

private:
    struct Registration;
    std::vector<std::shared_ptr<Registration>> matchingRegistrations(const Id<NSNotification>& notification) const;

    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Registration>> m_registrations;
};

void registerNSNotificationCenterClass();
