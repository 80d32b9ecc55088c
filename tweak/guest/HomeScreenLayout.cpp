#include "HomeScreenLayout.h"

#include "MessageSend.h"

IMP originalLoadCurrentIconState;
IMP originalSaveCurrentIconState;
IMP originalIconControllerViewWillAppear;

id iconStoreLoadCurrentIconState(id self, SEL _cmd, id* error)
{
    return callOriginal<id>(originalLoadCurrentIconState, self, _cmd, error);
}

bool iconStoreSaveCurrentIconState(id self, SEL _cmd, id state, id* error)
{
    return callOriginal<bool>(originalSaveCurrentIconState, self, _cmd, state, error);
}

void iconControllerViewWillAppear(id self, SEL _cmd, bool animated)
{
    callOriginal(originalIconControllerViewWillAppear, self, _cmd, animated);
}
