#pragma once
// Reading the device's trace back: a follower that hands out the events appended since
// its last read (whole lines only: a line still being written waits for the next read),
// and the one-line rendering for a person (--pretty).

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TraceFollower {
public:
    // `hostPath` is the trace file on the host. With `fromEnd`, events already in the
    // file are skipped; otherwise they are all handed out by the first read.
    TraceFollower(std::string hostPath, bool fromEnd);

    // The events appended since the last read, in file order. A line that is not a JSON
    // object, or whose time, pid, process or event is not a number, an integer, a string
    // and a string, is handed out as {"event": "unreadable-trace-line", "text": ...}
    // rather than dropped.
    std::vector<nlohmann::ordered_json> readNew();
    // The same events handed to `handle` one by one as they are read, in memory that does
    // not grow with the trace's length.
    void forEachNew(const std::function<void(nlohmann::ordered_json&&)>& handle);
    std::uint64_t offset() const { return m_offset; }

private:
    void handOutWholeLines(const std::function<void(nlohmann::ordered_json&&)>& handle);

    std::string m_path;
    std::uint64_t m_offset = 0;
    std::string m_partial;
};

// "  12.000  SpringBoard[4242]  springboard-start  ios=14.4 idiom=phone groups=base,panel"
std::string prettyTraceEvent(const nlohmann::ordered_json& event);
