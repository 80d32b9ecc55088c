#pragma once
// Kavlor's settings and files, as the library, the preference bundle and the simulated
// device all see them: the settings domain and its keys, the three property-list files and
// the keys inside them, the notification names, the guest toggles and the time limits.
// No dependencies, so that every program can share this one copy. Paths are device paths.

#include <array>
#include <optional>
#include <string_view>

namespace KavlorSchema {

// The settings domain and its keys.
inline constexpr const char* kSettingsDomain = "com.Quennic.KavlorPrefs";
namespace Key {
inline constexpr const char* toggleKavlor = "toggleKavlor";           // the master switch
inline constexpr const char* isKavlorActive = "isKavlorActive";       // guest mode is on
inline constexpr const char* activeUser = "activeUser";               // the active account's name
inline constexpr const char* hideLSAccount = "hideLSAccount";         // the panel starts hidden
inline constexpr const char* adminPasscode = "adminPasscode";         // the owner's device passcode
inline constexpr const char* showImportantAlert = "showImportantAlert"; // the notice is still to be shown
inline constexpr const char* toggleCustomChroma = "toggleCustomChroma"; // custom panel colours are on
inline constexpr const char* backgroundChroma = "backgroundChroma";
inline constexpr const char* fontChroma = "fontChroma";
inline constexpr const char* buttonChroma = "buttonChroma";
inline constexpr const char* imageChroma = "imageChroma";
} // namespace Key

// The account named exactly this is the owner.
inline constexpr const char* kOwnerName = "Admin";

// The user-data file: account name -> the account's record.
inline constexpr const char* kUserDataPath = "/var/mobile/Library/Preferences/com.Quennic.KavlorUserData.plist";
namespace RecordKey {
inline constexpr const char* userName = "UserName";
inline constexpr const char* profileIcon = "profileIcon";
inline constexpr const char* wallPaperData = "WallPaperData";
inline constexpr const char* passCode = "PassCode";
inline constexpr const char* toggleData = "toggleData";
inline constexpr const char* limitedTime = "LimitedTime";
} // namespace RecordKey

// The app-list file: account name -> { "Disabled": [bundle identifiers] }.
inline constexpr const char* kAppListPath = "/var/mobile/Library/Preferences/com.Quennic.Kavlor.applist.plist";
inline constexpr const char* kDisabledKey = "Disabled";

// The icon-state file, written only by the library: { "KavlorIconState": the owner's layout }.
inline constexpr const char* kIconStatePath = "/var/mobile/Library/Preferences/com.Quennic.KavlorIconState.plist";
inline constexpr const char* kIconStateKey = "KavlorIconState";

// Notifications.
inline constexpr const char* kAccountsChangedNotification = "com.Quennic.Kavlor/addedNewUser"; // Darwin, re-posted locally
inline constexpr const char* kStartGuestModeNotification = "com.Quennic.Kavlor/startGuestMode";
inline constexpr const char* kEndGuestModeNotification = "com.Quennic.Kavlor/endGuestMode";
inline constexpr const char* kShowUserAccountNotification = "ShowUserAccountNotification";

// A record's "toggleData": index -> true when the feature is blocked ("5": the countdown runs).
namespace Toggle {
inline constexpr const char* blockControlCenter = "0";
inline constexpr const char* blockNotifications = "1";
inline constexpr const char* blockSearch = "2";
inline constexpr const char* blockTodayView = "3";
inline constexpr const char* blockAppDeletion = "4";
inline constexpr const char* limitTime = "5";
inline constexpr std::array<const char*, 6> all { blockControlCenter, blockNotifications, blockSearch, blockTodayView,
    blockAppDeletion, limitTime };
} // namespace Toggle

// "LimitedTime" 0..6 chooses one of these lengths, in minutes.
inline constexpr std::array<int, 7> kTimeLimitMinutes { 5, 10, 30, 45, 60, 120, 180 };

inline constexpr std::optional<int> timeLimitMinutes(long long limitedTime)
{
    if (limitedTime < 0 || limitedTime >= static_cast<long long>(kTimeLimitMinutes.size()))
        return std::nullopt;
    return kTimeLimitMinutes[static_cast<size_t>(limitedTime)];
}

} // namespace KavlorSchema
