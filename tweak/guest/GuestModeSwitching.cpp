#include "GuestModeSwitching.h"

#include "MessageSend.h"

IMP originalHomeScreenViewDidAppear;

void homeScreenViewDidAppear(id self, SEL _cmd, bool animated)
{
    callOriginal(originalHomeScreenViewDidAppear, self, _cmd, animated);
}
