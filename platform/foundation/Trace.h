#pragma once
// What the platform does that a person watching the device wants to see (a log line, a
// notification, a settings write, a spawn) is reported here as an event with named
// fields. The platform only emits; the simulated device installs the sink that writes the
// events out. With no sink installed, emitting costs nothing but the call.

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace Trace {

using Fields = std::vector<std::pair<std::string, std::string>>;
using Sink = std::function<void(const std::string& event, const Fields& fields)>;

void setSink(Sink);
bool hasSink();
void emit(const std::string& event, const Fields& fields = {});

} // namespace Trace
