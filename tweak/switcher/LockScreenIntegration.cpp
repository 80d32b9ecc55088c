#include "LockScreenIntegration.h"

#include "MessageSend.h"
#include "NSNotificationCenter.h"
#include "NSObjectValues.h"

IMP originalAdjunctListViewDidLoadCS;
IMP originalAdjunctListViewDidLoadDashBoard;
IMP originalScrollViewInitWithFrameCS;
IMP originalScrollViewInitWithFramePaged;

// One association key per controller class: the getter and setter of a class share it.
static char userAccountViewKeyCS;
static char userAccountViewKeyDashBoard;

void adjunctListViewDidLoadCS(id self, SEL _cmd)
{
    callOriginal(originalAdjunctListViewDidLoadCS, self, _cmd);
}

void adjunctListViewDidLoadDashBoard(id self, SEL _cmd)
{
    callOriginal(originalAdjunctListViewDidLoadDashBoard, self, _cmd);
}

id userAccountViewCS(id self, SEL)
{
    return objc_getAssociatedObject(self, &userAccountViewKeyCS);
}

id userAccountViewDashBoard(id self, SEL)
{
    return objc_getAssociatedObject(self, &userAccountViewKeyDashBoard);
}

void setUserAccountViewCS(id self, SEL, id view)
{
    objc_setAssociatedObject(self, &userAccountViewKeyCS, view, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

void setUserAccountViewDashBoard(id self, SEL, id view)
{
    objc_setAssociatedObject(self, &userAccountViewKeyDashBoard, view, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

id scrollViewInitWithFrameCS(id self, SEL _cmd, CGRect frame)
{
    return callOriginal<id>(originalScrollViewInitWithFrameCS, self, _cmd, frame);
}

id scrollViewInitWithFramePaged(id self, SEL _cmd, CGRect frame)
{
    return callOriginal<id>(originalScrollViewInitWithFramePaged, self, _cmd, frame);
}

static void postShowUserAccount(const id& scrollView)
{
    NSNotificationCenter::defaultCenter()->postNotificationName("ShowUserAccountNotification"_ns, scrollView, nil);
}

void scrollViewShowActionCS(id self, SEL)
{
    postShowUserAccount(self);
}

void scrollViewShowActionPaged(id self, SEL)
{
    postShowUserAccount(self);
}
