#include "DeviceConfiguration.h"

#include "DeviceRoot.h"
#include "FileSystem.h"
#include "PropertyList.h"
#include "Trace.h"

#include <fmt/format.h>

namespace {

constexpr double phoneWidth = 375, phoneHeight = 812;
constexpr double padWidth = 1024, padHeight = 1366;

void report(DeviceConfiguration& configuration, std::string problem)
{
    fmt::print(stderr, "DeviceConfiguration: {}: {}\n", devicePath(DeviceConfiguration::path), problem);
    Trace::emit("device-configuration-error", { { "path", DeviceConfiguration::path }, { "problem", problem } });
    configuration.problems.push_back(std::move(problem));
}

void readIdiom(DeviceConfiguration& configuration, const NSDictionary& file)
{
    id value = file.objectForKey("idiom");
    if (!value)
        return;
    auto text = value.as<NSString>();
    if (text && text->isEqualToString("phone"))
        configuration.idiom = DeviceConfiguration::Idiom::Phone;
    else if (text && text->isEqualToString("pad"))
        configuration.idiom = DeviceConfiguration::Idiom::Pad;
    else if (text && text->isEqualToString("legacy"))
        configuration.idiom = DeviceConfiguration::Idiom::Legacy;
    else
        report(configuration, fmt::format("\"idiom\" is {}, not \"phone\", \"pad\" or \"legacy\"; using \"phone\"", describe(value)));
}

void readDimension(DeviceConfiguration& configuration, const NSDictionary& file, const char* key, double& target)
{
    id value = file.objectForKey(key);
    if (!value)
        return;
    auto number = value.as<NSNumber>();
    if (!number || number->kind() == NSNumber::Kind::Boolean || !(number->doubleValue() > 0)) {
        report(configuration, fmt::format("\"{}\" is {}, not a positive number; using {}", key, describe(value), target));
        return;
    }
    target = number->doubleValue();
}

void readPasscode(DeviceConfiguration& configuration, const NSDictionary& file)
{
    id value = file.objectForKey("passcode");
    if (!value)
        return;
    if (auto text = value.as<NSString>())
        configuration.passcode = text->utf8();
    else
        report(configuration, fmt::format("\"passcode\" is {}, not a string; the device has no passcode", describe(value)));
}

} // namespace

DeviceConfiguration DeviceConfiguration::load()
{
    DeviceConfiguration configuration;
    if (!FileSystem::fileExists(path))
        return configuration;
    auto file = PropertyList::readDictionaryFile(path);
    if (!file) {
        report(configuration, "not a property-list dictionary; using the defaults");
        return configuration;
    }
    readIdiom(configuration, *file);
    if (configuration.idiom == Idiom::Pad) {
        configuration.screenWidth = padWidth;
        configuration.screenHeight = padHeight;
    } else {
        configuration.screenWidth = phoneWidth;
        configuration.screenHeight = phoneHeight;
    }
    readDimension(configuration, *file, "screenWidth", configuration.screenWidth);
    readDimension(configuration, *file, "screenHeight", configuration.screenHeight);
    readPasscode(configuration, *file);
    return configuration;
}
