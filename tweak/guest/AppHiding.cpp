#include "AppHiding.h"

#include "MessageSend.h"

IMP originalIsForeground;
IMP originalPlaceIcon;
IMP originalInsertIcon;
IMP originalAddIcon;

bool processIsForeground(id self, SEL _cmd)
{
    return callOriginal<bool>(originalIsForeground, self, _cmd);
}

id iconListPlaceIcon(id self, SEL _cmd, id icon, unsigned long long index)
{
    return callOriginal<id>(originalPlaceIcon, self, _cmd, icon, index);
}

id iconListInsertIcon(id self, SEL _cmd, id icon, unsigned long long index, unsigned long long options)
{
    return callOriginal<id>(originalInsertIcon, self, _cmd, icon, index, options);
}

id iconListAddIcon(id self, SEL _cmd, id icon, bool dirty)
{
    return callOriginal<id>(originalAddIcon, self, _cmd, icon, dirty);
}
