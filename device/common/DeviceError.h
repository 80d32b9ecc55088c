#pragma once
// How the simulated device's own code fails: a DeviceError, thrown where the failure is
// found with a message naming what and where, and caught where it can be told to a person
// (a tool's one line on standard error, a control request's {"ok":false,"error":...}, a
// scenario's failing line). Each kind of failure that a caller tells apart is a subclass.
// (The tweak itself never fails loudly; this is the device's, not the library's.)

#include <stdexcept>

class DeviceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
