#include "AccountChangeNotice.h"

#include "CFNotificationCenter.h"
#include "KavlorSchema.h"

namespace AccountChangeNotice {

void post()
{
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
        KavlorSchema::kAccountsChangedNotification, nullptr, nullptr, true);
}

} // namespace AccountChangeNotice
