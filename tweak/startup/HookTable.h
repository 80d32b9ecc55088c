#pragma once
// The library's hook table: every declared hook (Hook.h), in the order of installation.
// Each file that changes a behaviour declares its own hooks; this is where they meet.

#include "Hook.h"

#include <vector>

// The declarations ordered by their place; the two spellings of a lock-screen row share
// the place, the one for iOS 13 and later first.
const std::vector<const HookDeclaration*>& hookTable();
