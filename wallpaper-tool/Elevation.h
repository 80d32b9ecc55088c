#pragma once
// Becoming root on a device whose jailbreak does not honour a plain setuid(0).

// Asks the jailbreak's library ("/usr/lib/libjailbreak.dylib") to entitle this process
// and to make setuid work for it, then sets the user and group ids to 0. Does nothing,
// quietly, when the library or one of its functions is missing; the caller goes on with
// whatever rights the process has.
void fixSetuidForChimera();
