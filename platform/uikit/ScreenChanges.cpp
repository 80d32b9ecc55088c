#include "ScreenChanges.h"

#include "RunLoop.h"

namespace ScreenChanges {

namespace {

struct State {
    std::uint64_t count = 0;
    bool queued = false;   // a block that tells the listener waits on the main loop
    std::function<void()> listener;
};

State& state()
{
    // Never destroyed: views that outlive static destruction may still mark.
    static auto* shared = new State;
    return *shared;
}

} // namespace

void markChanged()
{
    State& changes = state();
    ++changes.count;
    if (!changes.listener || changes.queued)
        return;
    changes.queued = true;
    RunLoop::main().enqueue([] {
        State& changes = state();
        changes.queued = false;
        if (changes.listener)
            changes.listener();
    });
}

std::uint64_t count()
{
    return state().count;
}

void setListener(std::function<void()> listener)
{
    state().listener = std::move(listener);
}

} // namespace ScreenChanges
