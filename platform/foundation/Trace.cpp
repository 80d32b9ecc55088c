#include "Trace.h"

#include <mutex>

namespace Trace {

namespace {

std::mutex& sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

Sink& currentSink()
{
    static Sink sink;
    return sink;
}

} // namespace

void setSink(Sink sink)
{
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(sink);
}

bool hasSink()
{
    std::lock_guard lock(sinkMutex());
    return static_cast<bool>(currentSink());
}

void emit(const std::string& event, const Fields& fields)
{
    Sink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = currentSink();
    }
    if (sink)
        sink(event, fields);
}

} // namespace Trace
