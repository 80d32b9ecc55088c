#pragma once
// The one kind of failure kavlorctl reports: a sentence naming what was wrong (the value,
// the path), printed on one line of standard error before the program exits non-zero.
// Every command checks all of its input and throws before it writes anything, so a
// failure never leaves a file half-changed.

#include "DeviceError.h"
#include <stdexcept>
#include <string>

class KavlorctlError : public DeviceError {
public:
    explicit KavlorctlError(const std::string& message) : DeviceError(message) { }
};
