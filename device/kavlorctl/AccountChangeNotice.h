#pragma once
// Tells every process of the device that the accounts changed: the Darwin notification
// "com.Quennic.Kavlor/addedNewUser", which the library turns into a rebuild of the lock
// screen's account panel. Posted after each change of the user-data or app-list file.

namespace AccountChangeNotice {

void post();

} // namespace AccountChangeNotice
