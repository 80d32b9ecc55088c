#include "NSOperationQueue.h"

#include "Block.h"
#include "RunLoop.h"


NSOperationQueue::NSOperationQueue() : objc_object(cls()) { }

Class NSOperationQueue::cls()
{
    static Class cls = [] {
        if (Class existing = objc_getClass("NSOperationQueue"))
            return existing;
        return ClassBuilder("NSOperationQueue", NSObjectClass()).instancesOf<NSOperationQueue>().permanent().get();
    }();
    return cls;
}

Id<NSOperationQueue> NSOperationQueue::mainQueue()
{
    static NSOperationQueue* shared = [] {
        auto* queue = new NSOperationQueue;
        queue->makeImmortal();
        return queue;
    }();
    return Id<NSOperationQueue>(shared);
}

bool NSOperationQueue::isMainQueue() const { return this == mainQueue().get(); }

void NSOperationQueue::addOperationWithBlock(std::function<void()> operation)
{
    // Queues of their own (worker threads) are not part of this stand-in: an operation
    // added to one would never run, so that is refused loudly.
    if (!isMainQueue())
        throw RuntimeError("NSOperationQueue: only the main queue runs operations here");
    RunLoop::main().enqueue(std::move(operation));
}

void registerNSOperationQueueClass()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    ClassBuilder::extend(NSOperationQueue::cls())
        .classMethod("mainQueue", [](id, SEL) -> id { return NSOperationQueue::mainQueue(); })
        .method("addOperationWithBlock:", [](id self, SEL, id block) {
            self.as<NSOperationQueue>()->addOperationWithBlock([block] { callBlock<void>(block); });
        });
}

static const bool operationQueueClassRegistered = (registerNSOperationQueueClass(), true);
