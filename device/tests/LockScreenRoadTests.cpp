// The first steps of the road of one guest visit, on each simulated device (iOS 12.5, 13.7
// and 14.4; phone and pad), with real processes: the owner double-taps the lock screen,
// the hidden panel comes back, the owner taps a guest and confirms, and the settings name
// the guest before guest mode is asked to start. Also the first-launch notice.

#include "DeviceInstaller.h"
#include "ScenarioRunner.h"
#include "TempDeviceRoot.h"
#include "Trace.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <sstream>

namespace {

class DeviceScenario {
public:
    explicit DeviceScenario(const DeviceSpec& spec)
    {
        DeviceInstaller::install(m_root.path(), spec, false);
        ScenarioRunner::Options options;
        options.kavlorctlPath = KAVLORCTL_PATH;
        m_runner = std::make_unique<ScenarioRunner>(m_root.path(), options, m_out, m_err);
    }
    ~DeviceScenario()
    {
        m_runner.reset();
        Trace::setSink(nullptr);
    }

    // Runs the lines one by one; fails the test at the first line that fails.
    void play(const std::string& script)
    {
        for (const auto& line : parseScenario(script)) {
            try {
                m_runner->runLine(line);
            } catch (const ScenarioFailure& failure) {
                FAIL() << "line " << line.number << ": " << line.text << "\n" << failure.what() << "\n--- output:\n" << m_out.str();
            }
        }
    }
    // Plays one line that must be refused; answers the runner's message.
    std::string refused(const std::string& text)
    {
        auto lines = parseScenario(text);
        try {
            m_runner->runLine(lines.at(0));
        } catch (const ScenarioFailure& failure) {
            return failure.what();
        }
        ADD_FAILURE() << text << " was not refused";
        return {};
    }

private:
    TempDeviceRoot m_root;
    std::ostringstream m_out;
    std::ostringstream m_err;
    std::unique_ptr<ScenarioRunner> m_runner;
};

struct Device {
    const char* ios;
    const char* idiom;
};

void PrintTo(const Device& device, std::ostream* out)
{
    *out << "iOS " << device.ios << " " << device.idiom;
}

class GuestVisitRoad : public ::testing::TestWithParam<Device> { };

TEST_P(GuestVisitRoad, DoubleTapChooseAGuestAndConfirm)
{
    DeviceSpec spec;
    spec.iosVersion = GetParam().ios;
    spec.idiom = GetParam().idiom;
    DeviceScenario device(spec);
    bool iOS12 = spec.iosVersion.starts_with("12");
    std::string scrollView = iOS12 ? "SBPagedScrollView" : "CSScrollView";
    std::string coverSheet = iOS12 ? "SBDashBoardViewController" : "CSCoverSheetViewController";
    device.play(fmt::format(R"SCRIPT(
        kavlorctl user add Admin --passcode 123456
        kavlorctl user add Mira --passcode 2468
        kavlorctl set toggleKavlor true
        kavlorctl set hideLSAccount true
        kavlorctl set showImportantAlert false
        boot
        expect panel panel hidden=YES
        observe-local ShowUserAccountNotification

        # 1. the owner double-taps the notification area: the hidden panel comes back
        tap lockscreen 1
        expect no-event observed
        tap lockscreen 2
        expect event gesture-recognized view={0}
        expect event observed name=ShowUserAccountNotification object={0}
        expect setting hideLSAccount NO
        expect panel panel hidden=NO
        expect event stack-view-layout visible=1
        wait 0.5
        expect event view-animation kind=transition duration=0.3
        expect panel panel alpha=1 scale=1
        expect panel-cells 2

        # 2. the owner taps the guest and confirms
        tap account Mira
        expect alert Kavlor YES|NO
        expect event alert title=Kavlor presenter={1} actions=YES|NO styles=0|0
        expect event alert "message~for user "
        expect log "aaaaaaa userName:-Mira"
        alert tap YES
        expect event alert-action action=YES
        expect setting activeUser Mira
        expect setting isKavlorActive YES
        expect event notification centre=local name=com.Quennic.Kavlor/startGuestMode
        expect no-alert
    )SCRIPT",
        scrollView, coverSheet));
}

INSTANTIATE_TEST_SUITE_P(EverySimulatedDevice, GuestVisitRoad,
    ::testing::Values(Device { "12.5", "phone" }, Device { "12.5", "pad" }, Device { "13.7", "phone" }, Device { "13.7", "pad" },
        Device { "14.4", "phone" }, Device { "14.4", "pad" }),
    [](const ::testing::TestParamInfo<Device>& info) {
        std::string name = fmt::format("iOS{}_{}", info.param.ios, info.param.idiom);
        std::erase(name, '.');
        return name;
    });

TEST(FirstLaunchNotice, ShownAtEveryStartUntilOkayAlsoWithTheTweakSwitchedOff)
{
    DeviceScenario device(DeviceSpec {});
    device.play(R"SCRIPT(
        boot
        expect event springboard-start groups=base
        expect alert "IMPORTANT NOTE!" Okay
        expect event alert presenter=SBIconController "message~(TweakName)"
        respring
        expect alert "IMPORTANT NOTE!"
        alert tap Okay
        expect setting showImportantAlert NO
        expect no-alert
        respring
        expect no-alert
        expect no-event alert
    )SCRIPT");
}

TEST(PanelOnTheDevice, AFingerReachesOnlyWhatAPersonSees)
{
    DeviceScenario device(DeviceSpec {});
    device.play(R"SCRIPT(
        kavlorctl user add Mira --passcode 2468
        kavlorctl set toggleKavlor true
        kavlorctl set showImportantAlert false
        boot
        lock
        expect event lock
    )SCRIPT");
    // The settings sheet is transparent while the account list shows: its buttons are out of reach.
    EXPECT_NE(device.refused("tap dismiss").find("cannot be tapped now"), std::string::npos);
    EXPECT_NE(device.refused("tap account Otto").find("accounts that can be tapped: Mira"), std::string::npos);
    EXPECT_NE(device.refused("alert tap YES").find("no alert is presented"), std::string::npos);
}

} // namespace
