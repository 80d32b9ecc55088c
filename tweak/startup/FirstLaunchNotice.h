#pragma once
// The compatibility notice shown after SpringBoard finishes launching, until confirmed.

#include "Runtime.h"

extern IMP originalApplicationDidFinishLaunching;

void springBoardDidFinishLaunching(id self, SEL _cmd, id application);
