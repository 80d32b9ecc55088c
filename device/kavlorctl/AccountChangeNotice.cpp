#include "AccountChangeNotice.h"

#include "CFNotificationCenter.h"
#include "DevicePaths.h"

namespace AccountChangeNotice {

void post()
{
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
        DevicePaths::kAccountsChangedNotification, nullptr, nullptr, true);
}

} // namespace AccountChangeNotice
