#pragma once
// libdispatch's names over the process's main run loop. There is one queue, the main
// queue; its blocks and its delayed blocks run on RunLoop::main(), and delays are measured
// on that loop's clock, so under a virtual clock dispatch_after fires when the controller
// advances time. Blocks are plain std::function<void()>.

#include <cstdint>
#include <functional>

using dispatch_block_t = std::function<void()>;
using dispatch_once_t = long;
// Nanoseconds on the main run loop's clock (0 and ~0 are the two special values).
using dispatch_time_t = std::uint64_t;

struct dispatch_queue_s;
using dispatch_queue_t = dispatch_queue_s*;

#define DISPATCH_TIME_NOW (0ull)
#define DISPATCH_TIME_FOREVER (~0ull)
#define NSEC_PER_SEC 1000000000ull
#define NSEC_PER_MSEC 1000000ull
#define NSEC_PER_USEC 1000ull
#define USEC_PER_SEC 1000000ull

dispatch_queue_t dispatch_get_main_queue();

// Queues `block` on `queue`; it runs on the queue's run loop after the blocks queued
// before it. Any thread. A null queue is reported on standard error and the block dropped.
void dispatch_async(dispatch_queue_t queue, dispatch_block_t block);

// `when` (DISPATCH_TIME_NOW or an earlier result) moved by `deltaNanoseconds`.
// Results below zero clamp to now's base; FOREVER stays FOREVER.
dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t deltaNanoseconds);

// Runs `block` on `queue` once the main run loop's clock reaches `when` (at once, in queue
// order, when `when` has passed; never for DISPATCH_TIME_FOREVER).
void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block);

// Runs `block` exactly once for the life of `*predicate` (which must start at zero, as a
// static or global does). Concurrent callers wait until the first one's block returned.
// If the block throws, the predicate is left unset and the next caller runs it again.
void dispatch_once(dispatch_once_t* predicate, const dispatch_block_t& block);
