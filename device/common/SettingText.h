#pragma once
// One line of text for a stored setting, as the device's tools print it: decimal numbers,
// strings as they are, "<N bytes>" for data, the property-list style for collections.
// Booleans read true/false where the text is meant to be typed back (`kavlorctl get`
// feeds `kavlorctl set`) and YES/NO where a person reads it (scenarios, the trace).

#include "Object.h"

#include <string>

enum class BooleanWords { TrueFalse, YesNo };

std::string settingText(const id& value, BooleanWords);
