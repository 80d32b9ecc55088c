#pragma once
// A guest's disabled apps: their icons are refused by the icon lists and their processes are killed.

#include "Runtime.h"

extern IMP originalIsForeground;
extern IMP originalPlaceIcon;
extern IMP originalInsertIcon;
extern IMP originalAddIcon;

bool processIsForeground(id self, SEL _cmd);
id iconListPlaceIcon(id self, SEL _cmd, id icon, unsigned long long index);
id iconListInsertIcon(id self, SEL _cmd, id icon, unsigned long long index, unsigned long long options);
id iconListAddIcon(id self, SEL _cmd, id icon, bool dirty);
