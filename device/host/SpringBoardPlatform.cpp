#include "SpringBoardPlatform.h"

#include "DeviceFiles.h"
#include "HostControl.h"
#include "PropertyList.h"

#include <fmt/format.h>

SpringBoardPlatform SpringBoardPlatform::forThisDevice()
{
    SpringBoardPlatform platform;
    platform.m_version = NSProcessInfo::processInfo()->operatingSystemVersion();
    auto configuration = PropertyList::readDictionaryFile(DeviceFiles::kDeviceConfigurationFile);
    if (auto idiom = configuration ? configuration->valueForKey<NSString>("idiom") : nullptr)
        platform.m_idiom = idiom->utf8();
    return platform;
}

std::string SpringBoardPlatform::versionText() const
{
    if (m_version.patchVersion)
        return fmt::format("{}.{}.{}", m_version.majorVersion, m_version.minorVersion, m_version.patchVersion);
    return fmt::format("{}.{}", m_version.majorVersion, m_version.minorVersion);
}

void SpringBoardPlatform::registerClasses()
{
}

void SpringBoardPlatform::launch()
{
}

void SpringBoardPlatform::addControlCommands(HostControl&)
{
}
