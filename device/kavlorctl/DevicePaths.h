#pragma once
// The names the preference bundle shares with the Kavlor library: its two files, the
// settings domain and the account-change notification. Paths are device paths, resolved
// under the device root by the platform.

namespace DevicePaths {

inline constexpr const char* kUserDataFile = "/var/mobile/Library/Preferences/com.Quennic.KavlorUserData.plist";
inline constexpr const char* kAppListFile = "/var/mobile/Library/Preferences/com.Quennic.Kavlor.applist.plist";
inline constexpr const char* kSettingsDomain = "com.Quennic.KavlorPrefs";
inline constexpr const char* kAccountsChangedNotification = "com.Quennic.Kavlor/addedNewUser";

} // namespace DevicePaths
