// A second process for the settings tests: writes to a settings domain through
// HBPreferences, under the device root of its environment, and checks each write by
// reading it back.

#include "HBPreferences.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kUsage =
    "usage: cephei_settings_writer IDENTIFIER COMMAND ...\n"
    "  set-bool KEY YES|NO         store a boolean\n"
    "  set-string KEY TEXT         store a string\n"
    "  remove KEY                  remove a key\n"
    "  write-many PREFIX COUNT     store PREFIX0..PREFIX<COUNT-1>, each the integer of its index\n"
    "The domain's file lies under KAVLOR_DEVICE_ROOT. Exits 0 when every write reads back.\n";

int usageError(const std::string& message)
{
    std::fprintf(stderr, "cephei_settings_writer: %s\n%s", message.c_str(), kUsage);
    return 2;
}

bool readsBack(const Id<HBPreferences>& settings, const std::string& key, const id& expected)
{
    id stored = settings->objectForKey(key);
    if (isEqual(stored, expected))
        return true;
    std::fprintf(stderr, "cephei_settings_writer: %s reads back as %s, expected %s\n", key.c_str(), describe(stored).c_str(),
        describe(expected).c_str());
    return false;
}

int writeMany(const Id<HBPreferences>& settings, const std::string& prefix, const char* countText)
{
    char* end = nullptr;
    long count = std::strtol(countText, &end, 10);
    if (*countText == '\0' || *end != '\0' || count < 0)
        return usageError(std::string("COUNT must be a whole number, got ") + countText);
    for (long i = 0; i < count; ++i) {
        std::string key = prefix + std::to_string(i);
        id value = NSNumber::numberWithInteger(i);
        settings->setObject(value, key);
        if (!readsBack(settings, key, value))
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 4)
        return usageError("too few arguments");
    Id<HBPreferences> settings = HBPreferences::preferencesForIdentifier(argv[1]);
    if (!settings)
        return usageError(std::string("unusable identifier ") + argv[1]);
    std::string command = argv[2];
    std::string key = argv[3];
    if (command == "set-bool" && argc == 5) {
        bool value = std::strcmp(argv[4], "YES") == 0;
        if (!value && std::strcmp(argv[4], "NO") != 0)
            return usageError(std::string("a boolean is YES or NO, got ") + argv[4]);
        settings->setBool(value, key);
        return readsBack(settings, key, NSNumber::numberWithBool(value)) ? 0 : 1;
    }
    if (command == "set-string" && argc == 5) {
        settings->setObject(NSString::string(argv[4]), key);
        return readsBack(settings, key, NSString::string(argv[4])) ? 0 : 1;
    }
    if (command == "remove" && argc == 4) {
        settings->removeObjectForKey(key);
        return readsBack(settings, key, nil) ? 0 : 1;
    }
    if (command == "write-many" && argc == 5)
        return writeMany(settings, key, argv[4]);
    return usageError("unknown command or wrong number of arguments: " + command);
}
