#pragma once
// NSLog: formats a line (StringFormat: "%@" renders an object as -description does) and
// writes it to the system log (syslog(3)) and as the Trace event "log" {text}. The text
// is exactly the formatted line, with nothing added, e.g. "xxxxxxxx crntUserData:-(null)".
//
// Tests read what was logged through a SystemLog::Capture: while one exists, every line
// logged by any thread is recorded in it.

#include "StringFormat.h"

#include <memory>
#include <string>
#include <vector>

namespace SystemLog {

// Writes one already formatted line.
void write(const std::string& line);

// Records the lines logged during its lifetime. Captures may nest; each sees every line.
class Capture {
public:
    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    std::vector<std::string> lines() const;
    void clear();

    struct State; // shared with the list of active captures

private:
    std::shared_ptr<State> m_state;
};

} // namespace SystemLog

template<class... Args>
void NSLog(std::string_view format, const Args&... args)
{
    SystemLog::write(StringFormat::format(format, args...));
}
