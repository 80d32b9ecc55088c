// The trace reader: whatever a trace file holds, JSON objects (the unreadable lines among
// them marked so) whose own fields have their types, that print as JSON, for a person
// and as the demo's story.

#include "FuzzTarget.h"

#include "TraceFollower.h"
#include "TraceStory.h"

#include <fstream>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/kavlor-trace-fuzz-" + std::to_string(::getpid()) + ".jsonl";
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TraceFollower follower(path, false);
    for (const auto& event : follower.readNew()) {
        FUZZ_REQUIRE(event.is_object());
        (void)event.dump();
        (void)prettyTraceEvent(event);
        (void)storyLine(event);
    }
    ::unlink(path.c_str());
    return 0;
}
