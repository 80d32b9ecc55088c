#include "SpringBoardPlatform.h"

#include "DeviceConfiguration.h"
#include "DeviceUser.h"
#include "FBProcess.h"
#include "FBProcessManager.h"
#include "GuestVisitControl.h"
#include "HostControl.h"
#include "LockScreenControl.h"
#include "PanelInspector.h"
#include "RestrictionControl.h"
#include "ScreenshotCommand.h"
#include "TouchCommand.h"
#include "SpringBoardApp.h"
#include "SpringBoardCatalogue.h"

#include <fmt/format.h>

#include <csignal>

SpringBoardPlatform SpringBoardPlatform::forThisDevice()
{
    SpringBoardPlatform platform;
    platform.m_version = NSProcessInfo::processInfo()->operatingSystemVersion();
    auto idiom = DeviceConfiguration::load().idiom;
    platform.m_idiom = idiom == DeviceConfiguration::Idiom::Pad ? "pad" : idiom == DeviceConfiguration::Idiom::Legacy ? "legacy" : "phone";
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
    registerSpringBoardClasses(iosMajor());
}

void SpringBoardPlatform::launch()
{
    SpringBoardApp::launch();
}

namespace {

// The app processes SpringBoard runs under the executable name `name`.
std::vector<id> appProcessesNamed(const std::string& name)
{
    std::vector<id> found;
    auto manager = FBProcessManager::shared().as<FBProcessManager>();
    if (!manager)
        return found;
    for (const auto& process : manager->processes()) {
        auto record = process.as<FBProcess>();
        if (record && record->isRunning() && record->name() == name)
            found.push_back(process);
    }
    return found;
}

} // namespace

void SpringBoardPlatform::addControlCommands(HostControl& control)
{
    PanelInspector::addControlCommands(control);
    LockScreenControl::addControlCommands(control);
    ScreenshotCommand::addControlCommand(control);
    TouchCommand::addControlCommand(control);
    // An app comes to the front, as when its icon is tapped.
    control.add("launch-app", [](const ControlServer::Json& request) {
        std::string bundleIdentifier = request.at("bundleIdentifier").get<std::string>();
        std::string name = request.value("name", std::string());
        if (bundleIdentifier.empty() || name.empty())
            throw ControlError("launch-app needs a bundle identifier and an executable name");
        DeviceUser(runningSpringBoard()).launchApplication(bundleIdentifier, name);
        HostControl::settle();
        return ControlServer::Json::object();
    });
    // killall's way to the apps: they run inside SpringBoard's process manager here, so
    // SpringBoard ends them and sees them end.
    control.add("kill-app", [](const ControlServer::Json& request) {
        std::string name = request.at("name").get<std::string>();
        int signalNumber = request.value("signal", SIGTERM);
        auto killed = ControlServer::Json::array();
        for (const auto& process : appProcessesNamed(name)) {
            auto record = process.as<FBProcess>();
            std::string bundleIdentifier = record->bundleIdentifier();
            int pid = record->pid();
            const char* signalName = sigabbrev_np(signalNumber);
            FBProcessManager::shared().as<FBProcessManager>()->terminate(bundleIdentifier,
                fmt::format("killed by signal {} (SIG{})", signalNumber, signalName ? signalName : "?"));
            killed.push_back({ { "bundleIdentifier", bundleIdentifier }, { "pid", pid } });
        }
        return ControlServer::Json { { "killed", killed } };
    });
    addGuestVisitControlCommands(control);
    addRestrictionControlCommands(control);
}
