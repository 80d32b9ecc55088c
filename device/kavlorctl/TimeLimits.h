#pragma once
// The guest time limits on kavlorctl's command line: "LimitedTime" 0..6 chooses one of the
// lengths of KavlorSchema's table, the one the library counts down from.

#include "KavlorSchema.h"

#include <string>
#include <string_view>

namespace TimeLimits {

// "0:5 1:10 2:30 ..." for help texts and error messages.
std::string describeTable();

// A command-line time limit ("0".."6") as its number. Throws KavlorctlError naming the
// text for anything else.
int parse(std::string_view text);

} // namespace TimeLimits
