// The simulated device end to end, with real processes: the supervisor, the SpringBoard
// host with the real libKavlor.so loaded by the loader, sbreload, killall and kavlorctl.
// Scenarios run on the virtual clock; the only waits are for processes.

#include "ChildProcess.h"
#include "DeviceTest.h"
#include "DeviceInstaller.h"
#include "ControlServer.h"
#include "LocalSocket.h"
#include "ScenarioRunner.h"
#include "ScreenChangeSignal.h"
#include "Supervisor.h"
#include "TempDeviceRoot.h"
#include "Trace.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <csignal>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace {

using Json = nlohmann::ordered_json;

class DeviceRun : public DeviceTest<> {
protected:
    void SetUp() override { install(); }

    // A second tweak that runs the respring operation on "test.respring", or 100 seconds
    // after "test.respring-in-100s".
    // Puts a script in place of a program of the device.
    void replaceProgram(const std::string& devicePath, const std::string& script)
    {
        std::string path = m_root.host(devicePath);
        std::filesystem::remove(path);
        std::ofstream(path) << script;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }

    void installRespringCaller()
    {
        std::string libraries = m_root.host("/Library/MobileSubstrate/DynamicLibraries/");
        std::filesystem::copy_file(RESPRING_CALLER_TWEAK, libraries + "RespringCaller.dylib");
        std::filesystem::copy_file(libraries + "libKavlor.plist", libraries + "RespringCaller.plist");
    }
};

TEST_F(DeviceRun, ARespringStartsANewSpringBoardThatReadsTheSettingsAgain)
{
    play(R"(
        boot
        expect event springboard-start groups=base
        expect hooks 4
        kavlorctl set toggleKavlor true
        # the decision is made once per SpringBoard start
        expect same-springboard
        expect hooks 4
        respring
        expect new-springboard
        expect event springboard-start groups=panel,base,switching
        expect hooks 11
    )");
    auto starts = eventsNamed("springboard-start");
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_NE(starts[0]["pid"], starts[1]["pid"]);
    EXPECT_EQ(starts[1]["pid"], runner().springBoardPid());
    auto resprings = eventsNamed("respring");
    ASSERT_EQ(resprings.size(), 1u);
    EXPECT_EQ(resprings[0]["springboard"], starts[0]["pid"]);
    auto exits = eventsNamed("springboard-exit");
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ(exits[0]["expected"], true);
}

TEST_F(DeviceRun, TheTweaksInitialisersRunOnceEachInOrderBeforeSpringBoardsOwnStartUp)
{
    // Seen from outside, each initialiser's settings object binds its keys: the main one
    // four, then the colour and blur-view objects toggleCustomChroma, then the panel's
    // isKavlorActive; all of it before SpringBoard's own start-up begins.
    play("boot");
    std::vector<std::string> bindings;
    bool springBoardStartedFirst = false;
    for (const auto& event : runner().events()) {
        std::string name = event.value("event", std::string());
        if (name == "settings-bind" && event.value("domain", std::string()) == "com.Quennic.KavlorPrefs")
            bindings.push_back(event.value("key", std::string()));
        if ((name == "springboard-step" || name == "springboard-start") && bindings.size() < 7)
            springBoardStartedFirst = true;
    }
    EXPECT_EQ(bindings, (std::vector<std::string> { "toggleKavlor", "hideLSAccount", "adminPasscode", "showImportantAlert",
                            "toggleCustomChroma", "toggleCustomChroma", "isKavlorActive" }));
    EXPECT_FALSE(springBoardStartedFirst);
}

TEST_F(DeviceRun, AnAccountChangeReachesSpringBoardsLocalCentreWithoutAnObject)
{
    play(R"(
        boot
        observe-local com.Quennic.Kavlor/addedNewUser
        kavlorctl user add Emma --passcode 1111
        expect event notification centre=darwin name=com.Quennic.Kavlor/addedNewUser direction=deliver pid=$pid
        expect event notification centre=local name=com.Quennic.Kavlor/addedNewUser pid=$pid
        expect event observed name=com.Quennic.Kavlor/addedNewUser object=nil userInfo=nil
    )");
    // Delivered once, in SpringBoard, after kavlorctl posted it.
    auto observed = eventsNamed("observed");
    ASSERT_EQ(observed.size(), 1u);
    EXPECT_EQ(observed[0]["pid"], runner().springBoardPid());
}

TEST_F(DeviceRun, SpringBoardKilledByHandIsNoticedAndStartedAgain)
{
    play("boot\n");
    pid_t first = runner().springBoardPid();
    ASSERT_GT(first, 0);
    ASSERT_EQ(::kill(first, SIGKILL), 0);
    runner().settle();
    pid_t second = runner().springBoardPid();
    EXPECT_NE(second, first);
    EXPECT_GT(second, 0);
    auto exits = eventsNamed("springboard-exit");
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ(exits[0]["springboard"], first);
    EXPECT_EQ(exits[0]["expected"], false);
    EXPECT_EQ(exits[0]["status"], "killed by signal 9 (SIGKILL)");

    // The device's own killall reaches it too, and the supervisor starts a third.
    play(R"(
        killall SpringBoard
        expect event kill name=SpringBoard target=$previous-pid
        expect new-springboard
        expect running
    )");
    EXPECT_EQ(eventsNamed("springboard-start").size(), 3u);
}

TEST_F(DeviceRun, KillallEndsAnAppAndSpringBoardSeesItEnd)
{
    play(R"(
        boot
        launch-app com.example.notes Notes
        launch-app com.example.maps Maps
        killall Notes
        expect event process-terminated bundleIdentifier=com.example.notes
        expect no-event process-terminated bundleIdentifier=com.example.maps
        expect event kill name=Notes sent=true
        expect same-springboard
    )");
    ChildResult again = runChild(m_root.host("/usr/bin/killall"), { "Notes" }, 10);
    EXPECT_EQ(again.exitStatus, 1) << "nothing named Notes runs any more";
    // A name that is not UTF-8 names no app (SpringBoard's channel speaks JSON) and is no
    // reason for killall to abort.
    ChildResult latin1 = runChild(m_root.host("/usr/bin/killall"), { "caf\xe9" }, 10);
    EXPECT_EQ(latin1.exitStatus, 1) << latin1.describe() << latin1.err;
    EXPECT_NE(latin1.err.find("No matching processes"), std::string::npos) << latin1.err;
}

TEST_F(DeviceRun, ARespringFromInsideSpringBoardNeverReturnsToItsCaller)
{
    installRespringCaller();
    play(R"(
        boot
        post-local test.respring
        expect new-springboard
        expect no-event respring-returned
        expect event spawn path=/usr/bin/sbreload pid=$previous-pid
        expect event respring springboard=$previous-pid
    )");
    // After the old SpringBoard spawned sbreload, nothing more came from it.
    const auto& events = runner().events();
    auto spawn = std::find_if(events.begin(), events.end(), [](const Json& event) {
        return event.value("event", std::string()) == "spawn" && event.value("path", std::string()) == "/usr/bin/sbreload";
    });
    ASSERT_NE(spawn, events.end());
    int caller = (*spawn)["pid"];
    for (auto it = spawn + 1; it != events.end(); ++it)
        EXPECT_NE((*it)["pid"], caller) << "the old SpringBoard went on: " << it->dump();
}

TEST_F(DeviceRun, WaitMovesTheDevicesClockForEveryProcess)
{
    play(R"(
        boot
        wait 90.5
        kavlorctl set hideLSAccount true
        expect event settings-write key=hideLSAccount time=90.5
        wait 0
        respring
        expect event springboard-start time=90.5
    )");
}

TEST_F(DeviceRun, AWaitGoesOnInTheNewSpringBoardWhenATimerResprings)
{
    installRespringCaller();
    play(R"(
        boot
        wait 10
        post-local test.respring-in-100s
        wait 300
        expect new-springboard
        expect event respring time=110
        expect event springboard-start time=110
        expect no-event respring-returned
        kavlorctl set hideLSAccount true
        expect event settings-write time=310
    )");
}

// launchd gives SpringBoard the default signal dispositions whatever it inherited itself
// (a shell's `trap '' TERM`, say): a respring ends SpringBoard with SIGTERM at once, and
// SpringBoard's wait for sbreload really waits.
TEST_F(DeviceRun, SpringBoardEndsOnTheRespringsSIGTERMEvenWhenTheSupervisorIgnoresIt)
{
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGTERM, &ignore, &previous), 0);
    play(R"(
        boot
        respring
        expect new-springboard
    )");
    ::sigaction(SIGTERM, &previous, nullptr);
    auto exits = eventsNamed("springboard-exit");
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ(exits[0]["status"], "killed by signal 15 (SIGTERM)");
}

// launchd's part: a SpringBoard that keeps ending before it is ready is started
// maxFailedStarts times, then given up on with the supervisor's own message, which says
// how the last one ended; one that never becomes ready is ended and counted the same way.
TEST_F(DeviceRun, TheSupervisorGivesUpOnASpringBoardThatNeverBecomesReady)
{
    struct Case {
        const char* program;
        const char* how;
    };
    for (const Case& testCase : { Case { "#!/bin/sh\nexit 3\n", "exited with status 3" },
             Case { "#!/bin/sh\nexec sleep 600\n", "was not ready after 0.5 s and was ended" } }) {
        replaceProgram("/System/Library/CoreServices/SpringBoard.app/SpringBoard", testCase.program);
        size_t eventsBefore = runner().events().size();
        Supervisor::Options options;
        options.readySeconds = 0.5;
        options.maxFailedStarts = 2;
        Supervisor supervisor(options);
        std::string error;
        try {
            supervisor.start();
            ADD_FAILURE() << "a device whose SpringBoard never comes up booted";
        } catch (const DeviceError& failure) {
            error = failure.what();
        }
        EXPECT_EQ(error.find("SpringBoard ended 2 times in a row before it was ready (last: pid "), 0u) << error;
        EXPECT_NE(error.find(fmt::format(" {}); not starting it again", testCase.how)), std::string::npos) << error;
        std::vector<Json> events(runner().events().begin() + static_cast<long>(eventsBefore), runner().events().end());
        auto count = [&](const char* name) {
            return std::count_if(events.begin(), events.end(), [&](const Json& event) { return event.value("event", "") == name; });
        };
        EXPECT_EQ(count("springboard-launch"), 2) << testCase.how;
        EXPECT_EQ(count("supervisor-failure"), 1) << testCase.how;
    }
}

// On the real clock a guest's countdown ticks without a request or a trace line: SpringBoard
// itself tells whoever serves its screen, through the signal its supervisor handed it.
TEST_F(DeviceRun, OnTheRealClockSpringBoardTellsOfEachCountdownTickUnasked)
{
    play(R"(
        kavlorctl user add Admin --passcode 0000
        kavlorctl user add Noah --passcode 2468 --block time-limit --time-limit 0
        kavlorctl set toggleKavlor true
        kavlorctl set showImportantAlert false
        kavlorctl set activeUser Noah
        kavlorctl set isKavlorActive true
    )");
    ScreenChangeSignal screenChanges;
    Supervisor::Options options;
    options.virtualClock = false;
    options.screenChangesFd = screenChanges.fd();
    Supervisor supervisor(options);
    supervisor.start();
    auto countdownText = [] {
        auto reply = ControlClient::request(LocalSocket::nameFor("springboard"), Json { { "command", "countdown" } }, 10);
        return reply.reply.value("text", std::string());
    };
    while (screenChanges.wait(0.3)) { }  // what the start itself changed
    // Each tick is told: three texts in a row, each seen after SpringBoard said so (the
    // minute's own mark can add one signal in between, no more).
    std::set<std::string> texts;
    for (int signal = 0; signal < 6 && texts.size() < 3; ++signal) {
        ASSERT_TRUE(screenChanges.wait(10)) << "SpringBoard told of no change; the countdown reads " << countdownText();
        texts.insert(countdownText());
    }
    EXPECT_EQ(texts.size(), 3u);
    for (const auto& text : texts)
        EXPECT_NE(text.find(':'), std::string::npos) << text;
    supervisor.shutdown();
}

// A device program that hangs (here an sbreload that closed its output and never ends)
// fails the line that waits on it, naming it, instead of hanging the run.
TEST_F(DeviceRun, AProgramThatNeverEndsFailsItsLineInsteadOfHangingTheRun)
{
    replaceProgram("/usr/bin/sbreload", "#!/bin/sh\nexec sleep 600 >/dev/null 2>&1\n");
    ScenarioRunner::Options options;
    options.kavlorctlPath = KAVLORCTL_PATH;
    options.processTimeoutSeconds = 1;
    m_runner = std::make_unique<ScenarioRunner>(m_root.path(), options, m_out, m_err);
    EXPECT_EQ(runner().runScript("boot\nrespring\n", "hang.txt"), 1);
    EXPECT_NE(m_err.str().find("hang.txt:2: respring\n  `/usr/bin/sbreload` did not end within 1 s and was killed"), std::string::npos) << m_err.str();
}

TEST_F(DeviceRun, CommandsBeforeBootAndBadScriptsAreRefusedClearly)
{
    EXPECT_EQ(runner().runScript("post-local x\n", "early.txt"), 1);
    EXPECT_NE(m_err.str().find("early.txt:1"), std::string::npos) << m_err.str();
    EXPECT_NE(m_err.str().find("add `boot` before this line"), std::string::npos) << m_err.str();
    // The message names the command of the line, not the request it makes.
    EXPECT_EQ(runner().runScript("wait 5\n", "early-wait.txt"), 1);
    EXPECT_NE(m_err.str().find("early-wait.txt:1: wait 5\n  wait needs a running device"), std::string::npos) << m_err.str();

    // A typo late in a script stops it before the device boots.
    EXPECT_EQ(runner().runScript("boot\nwait soon\n", "typo.txt"), 2);
    EXPECT_NE(m_err.str().find("typo.txt:2: \"soon\" is not a number of seconds"), std::string::npos) << m_err.str();
    EXPECT_EQ(runner().runScript("boot\nexpect evnet x\n", "typo.txt"), 2);
    EXPECT_NE(m_err.str().find("unknown expectation \"evnet\""), std::string::npos) << m_err.str();
    // More seconds than the device's clock can count are refused before anything boots.
    EXPECT_EQ(runner().runScript("boot\nwait 1e300\n", "far.txt"), 2);
    EXPECT_NE(m_err.str().find("far.txt:2: \"1e300\" is more seconds than the device's clock counts"), std::string::npos) << m_err.str();
    // A file expectation looks inside the device only.
    EXPECT_EQ(runner().runScript("boot\nexpect file /../../etc/shadow\n", "escape.txt"), 2);
    EXPECT_NE(m_err.str().find("escape.txt:2: \"/../../etc/shadow\" climbs above the device's / with \"..\""), std::string::npos) << m_err.str();
    EXPECT_EQ(runner().runScript("boot\nexpect no-file etc/shadow\n", "relative.txt"), 2);
    EXPECT_NE(m_err.str().find("relative.txt:2: \"etc/shadow\" is not a device path"), std::string::npos) << m_err.str();
    EXPECT_TRUE(eventsNamed("springboard-launch").empty());
}

// The whole program, as a person runs it.
TEST_F(DeviceRun, AFailingExpectationEndsTheRunWithAMessageNamingTheLine)
{
    std::string script = m_root.host("/check.txt");
    std::ofstream(script) << "boot\n# the device runs 14.4\nexpect event springboard-start ios=9.9\nsay not reached\n";
    ChildResult result = runChild(KAVLOR_SIM_PATH, { "run", m_root.path(), script }, 60);
    EXPECT_EQ(result.exitStatus, 1) << result.describe();
    EXPECT_NE(result.err.find(script + ":3: expect event springboard-start ios=9.9"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("expected an event \"springboard-start\" ios=9.9 since line 1 (boot); there was none"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("ios=14.4"), std::string::npos) << "what happened is shown: " << result.err;
    EXPECT_EQ(result.out.find("not reached"), std::string::npos);

    // The run stopped the device: a new run can boot it again.
    std::ofstream(script) << "boot\nexpect count springboard-start 1\n";
    ChildResult again = runChild(KAVLOR_SIM_PATH, { "run", m_root.path(), script }, 60);
    EXPECT_TRUE(again.succeeded()) << again.describe() << again.err;
}

// A line the runner cannot carry out for a reason of its own (here a name that is not
// UTF-8, which no request to SpringBoard can carry) fails like a missed expectation: the
// line named, the device stopped, no abort.
TEST_F(DeviceRun, ALineThatCannotBeCarriedOutFailsTheRunNamingIt)
{
    EXPECT_EQ(runner().runScript("boot\npost-local caf\xe9\n", "latin1.txt"), 1);
    EXPECT_NE(m_err.str().find("latin1.txt:2: "), std::string::npos) << m_err.str();
    EXPECT_NE(m_err.str().find("UTF-8"), std::string::npos) << m_err.str();
    EXPECT_FALSE(runner().isBooted());
    EXPECT_EQ(eventsNamed("shutdown").size(), 1u);
}

TEST_F(DeviceRun, AScriptThatIsAFolderIsRefusedRatherThanRunAsEmpty)
{
    ChildResult result = runChild(KAVLOR_SIM_PATH, { "run", m_root.path(), m_root.host("/var") }, 60);
    EXPECT_EQ(result.exitStatus, 2) << result.describe() << result.err;
    EXPECT_NE(result.err.find("cannot read the script " + m_root.host("/var") + ": it is a folder"), std::string::npos) << result.err;
}

} // namespace
