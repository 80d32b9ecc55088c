#pragma once
// Turns the options of `user add` into a `UserRecord` dictionary, checking every one of
// them first (name, passcode, pictures, block names, time limit), so a bad option is
// reported before any file is touched.
//
// The record's layout is the one the library reads:
//   UserName       string
//   profileIcon    data   (the given avatar, or the default avatar: every record has one)
//   WallPaperData  data   (only when a wallpaper is given)
//   PassCode       string
//   toggleData     dictionary "0".."5" -> boolean, all six present
//   LimitedTime    integer 0..6 (only when a time limit is given)
//
// A time limit switches the countdown ("5") on; asking for the countdown without a time
// limit is refused, since the library would then end guest mode after five seconds.

#include "NSObjectValues.h"

#include <optional>
#include <string>
#include <vector>

struct UserOptions {
    std::string name;
    std::string passcode;
    std::optional<std::string> avatarPath;     // host paths
    std::optional<std::string> wallpaperPath;
    std::vector<std::string> blocks;           // command-line names, comma lists allowed
    std::optional<std::string> timeLimit;      // "0".."6"
};

class UserRecordBuilder {
public:
    // Throws KavlorctlError naming the offending value or path.
    static Id<NSDictionary> build(const UserOptions& options);

    // The avatar stored when none is given.
    static std::vector<uint8_t> defaultAvatar();

    // A name is shown on the lock screen and in tables: UTF-8, not blank, at most
    // TypedText::kMaxNameLength characters, no control or direction-changing characters.
    // Throws KavlorctlError naming the argument (never echoing text that may not print).
    static void checkName(const std::string& name);
    // A passcode is typed on a pad: not empty, UTF-8, no control characters.
    static void checkPasscode(const std::string& passcode);
};
