#include "FileIdentity.h"

#include "DeviceRoot.h"
#include "NSObjectValues.h"

#include <sys/stat.h>

static int64_t nanoseconds(const struct timespec& time)
{
    return int64_t(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

FileIdentity FileIdentity::of(const struct stat& info)
{
    return { uint64_t(info.st_dev), uint64_t(info.st_ino), int64_t(info.st_size), nanoseconds(info.st_mtim),
        nanoseconds(info.st_ctim) };
}

std::optional<FileIdentity> FileIdentity::ofHostPath(const std::string& hostPath)
{
    struct stat info {};
    if (::stat(hostPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return of(info);
}

std::optional<FileIdentity> FileIdentity::ofPath(std::string_view path)
{
    return ofHostPath(devicePath(path));
}

// Each field is stored as an integer with the same bits.
id FileIdentity::asPropertyList() const
{
    auto number = [](auto value) { return NSNumber::numberWithInteger(static_cast<NSInteger>(value)); };
    return NSDictionary::dictionary({
        { "Device", number(device) },
        { "Inode", number(inode) },
        { "Size", number(size) },
        { "Modified", number(modifiedNs) },
        { "Changed", number(changedNs) },
    });
}

std::optional<FileIdentity> FileIdentity::fromPropertyList(const id& value)
{
    auto record = value.as<NSDictionary>();
    if (!record)
        return std::nullopt;
    auto field = [&](const char* key) { return record->valueForKey<NSNumber>(key); };
    auto device = field("Device"), inode = field("Inode"), size = field("Size"), modified = field("Modified"),
         changed = field("Changed");
    if (!device || !inode || !size || !modified || !changed)
        return std::nullopt;
    return FileIdentity { uint64_t(device->integerValue()), uint64_t(inode->integerValue()), size->integerValue(),
        modified->integerValue(), changed->integerValue() };
}
