#pragma once
// A SpringBoard of one iOS version with the library loaded as at a start (main initialiser,
// then SpringBoard's own start-up), on a virtual clock, in a fresh device root whose
// /usr/bin/sbreload only counts its runs.

#include "../../startup/tests/TweakTestEnvironment.h"

#include "GuestModeSwitching.h"
#include "HookTable.h"
#include "MainInitialiser.h"
#include "NSProcessInfo.h"
#include "RunLoop.h"
#include "SpringBoardClasses.h"
#include "SystemLog.h"
#include "TimeLimit.h"
#include "Trace.h"
#include "UIKitSupport.h"
#include "UIKitTestSupport.h"

#include <fmt/format.h>
#include <fstream>

class GuestSpringBoardTest : public TweakTestEnvironment {
protected:
    void SetUp() override
    {
        TweakTestEnvironment::SetUp();
        for (const HookDeclaration* hook : hookTable()) {
            if (hook->slot)
                hook->slot->keep(nullptr, nullptr, hook->encoding());
        }
        RunLoop::main().resetForTesting();
        RunLoop::main().useVirtualClock();
        forgetGuestModeHandlersForTesting();
        progress = nil;
        timer = nullptr;
        currMinute = currSeconds = 0;
        installCountingSbreload();
        m_trace.clear(); // what the tests do, not what setting up did
        mainSettings->setBool(true, Key::toggleKavlor);
    }

    void TearDown() override
    {
        if (timer)
            timer->invalidate();
        timer = nullptr;
        progress = nil;
        SpringBoardApp::discard();
        RunLoop::main().resetForTesting();
        NSProcessInfo::setArgumentsForTesting(std::nullopt);
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        TweakTestEnvironment::TearDown();
    }

    // The library loads into a SpringBoard of that version, which then starts up.
    SpringBoardApp& launch(int iosMajor)
    {
        loadLibrary(iosMajor);
        return SpringBoardApp::launch();
    }

    // Only the library's loading: SpringBoard's own start-up has not begun.
    void loadLibrary(int iosMajor)
    {
        objc_resetRuntimeForTesting();
        registerSpringBoardClasses(iosMajor);
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion { iosMajor, 4, 0 });
        NSProcessInfo::setArgumentsForTesting(std::vector<std::string> { "/System/Library/CoreServices/SpringBoard.app/SpringBoard" });
        mainSettings = nullptr;
        mainInitialiser();
    }

    void activateGuest(const std::string& name)
    {
        mainSettings->setObject(NSString::string(name), Key::activeUser);
        mainSettings->setBool(true, Key::isKavlorActive);
    }

    // The device passcode that SpringBoard checks; none: every passcode unlocks.
    void setDevicePasscode(std::optional<std::string> passcode)
    {
        auto configuration = NSDictionary::mutableDictionary();
        if (passcode)
            configuration->setObject(NSString::string(*passcode), "passcode");
        ASSERT_TRUE(PropertyList::writeFile("/var/mobile/Library/kavlor-device.plist", configuration));
    }

    int respringCount() const
    {
        std::ifstream runs(m_root / "sbreload-runs");
        int count = 0;
        for (std::string line; std::getline(runs, line);)
            ++count;
        return count;
    }

    std::vector<TraceRecorder::Event> eventsNamed(const std::string& name) const { return m_trace.named(name); }

    TraceRecorder m_trace;

private:
    void installCountingSbreload()
    {
        std::filesystem::create_directories(m_root / "usr/bin");
        auto path = m_root / "usr/bin/sbreload";
        std::ofstream(path) << "#!/bin/sh\necho run >> \"$KAVLOR_DEVICE_ROOT/sbreload-runs\"\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }
};
