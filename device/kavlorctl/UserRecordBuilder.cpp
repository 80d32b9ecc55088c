#include "UserRecordBuilder.h"

#include "FeatureToggles.h"
#include "ImageFile.h"
#include "KavlorctlError.h"
#include "TimeLimits.h"
#include "TypedText.h"

#include <algorithm>
#include <fmt/format.h>

// Made at build time from device/samples/avatar-default.png.
extern const unsigned char kDefaultAvatarPNG[];
extern const unsigned long kDefaultAvatarPNGSize;

std::vector<uint8_t> UserRecordBuilder::defaultAvatar()
{
    return std::vector<uint8_t>(kDefaultAvatarPNG, kDefaultAvatarPNG + kDefaultAvatarPNGSize);
}

void UserRecordBuilder::checkName(const std::string& name)
{
    if (auto problem = TypedText::nameProblem(name); !problem.empty())
        throw KavlorctlError("the user name " + problem);
}

void UserRecordBuilder::checkPasscode(const std::string& passcode)
{
    if (passcode.empty())
        throw KavlorctlError("the passcode must not be empty");
    if (auto problem = TypedText::problem(passcode); !problem.empty())
        throw KavlorctlError("the passcode " + problem);
}

static Id<NSDictionary> toggleData(const std::vector<std::string>& onIndices)
{
    auto toggles = NSDictionary::mutableDictionary();
    for (const auto& toggle : FeatureToggles::kAll) {
        bool on = std::find(onIndices.begin(), onIndices.end(), toggle.index) != onIndices.end();
        toggles->setObject(NSNumber::numberWithBool(on), toggle.index);
    }
    return toggles;
}

Id<NSDictionary> UserRecordBuilder::build(const UserOptions& options)
{
    checkName(options.name);
    checkPasscode(options.passcode);

    std::vector<std::string> blocked = FeatureToggles::parseBlockList(options.blocks);
    std::optional<int> limit;
    if (options.timeLimit)
        limit = TimeLimits::parse(*options.timeLimit);
    std::string countdown(FeatureToggles::kTimeLimitIndex);
    bool countdownAsked = std::find(blocked.begin(), blocked.end(), countdown) != blocked.end();
    if (countdownAsked && !limit)
        throw KavlorctlError("--block time-limit needs --time-limit 0-6 (minutes " + TimeLimits::describeTable() + ")");
    if (limit && !countdownAsked)
        blocked.push_back(countdown);

    std::vector<uint8_t> avatar = options.avatarPath ? ImageFile::readImage(*options.avatarPath, "avatar") : defaultAvatar();
    std::optional<std::vector<uint8_t>> wallpaper;
    if (options.wallpaperPath)
        wallpaper = ImageFile::readImage(*options.wallpaperPath, "wallpaper");

    auto record = NSDictionary::mutableDictionary();
    record->setObject(NSString::string(options.name), KavlorSchema::RecordKey::userName);
    record->setObject(NSData::data(std::move(avatar)), KavlorSchema::RecordKey::profileIcon);
    if (wallpaper)
        record->setObject(NSData::data(std::move(*wallpaper)), KavlorSchema::RecordKey::wallPaperData);
    record->setObject(NSString::string(options.passcode), KavlorSchema::RecordKey::passCode);
    record->setObject(toggleData(blocked), KavlorSchema::RecordKey::toggleData);
    if (limit)
        record->setObject(NSNumber::numberWithInteger(*limit), KavlorSchema::RecordKey::limitedTime);
    return record;
}
