#pragma once
// NSOperationQueue: only the main queue, whose operations run on the main run loop
// (RunLoop::main()), after the blocks queued there before them.

#include "NSObjectValues.h"

#include <functional>

class NSOperationQueue : public objc_object {
public:
    NSOperationQueue();
    static Class cls();
    static Id<NSOperationQueue> mainQueue();

    bool isMainQueue() const;
    // Queues the operation on the main run loop. Any thread.
    void addOperationWithBlock(std::function<void()> operation);
};

void registerNSOperationQueueClass();
