#include "FirstLaunchNotice.h"

#include "MessageSend.h"

IMP originalApplicationDidFinishLaunching;

void springBoardDidFinishLaunching(id self, SEL _cmd, id application)
{
    callOriginal(originalApplicationDidFinishLaunching, self, _cmd, application);
}
