// The pieces every program of the device shares: the trace file and its reader, the
// device clock, the control channel, the process list, and the scenario script syntax.

#include "ControlServer.h"
#include "DeviceClock.h"
#include "DeviceTrace.h"
#include "LocalSocket.h"
#include "ProcFile.h"
#include "ProcessTable.h"
#include "RunLoop.h"
#include "ScenarioScript.h"
#include "ScreenChangeSignal.h"
#include "TempDeviceRoot.h"
#include "Trace.h"
#include "TraceFollower.h"
#include "TraceStory.h"

#include <gtest/gtest.h>

#include <fmt/format.h>
#include <fcntl.h>
#include <fstream>
#include <csignal>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Json = nlohmann::ordered_json;

std::vector<Json> readTrace(const TempDeviceRoot& root)
{
    return TraceFollower(root.host("/var/log/kavlor-trace.jsonl"), false).readNew();
}

void appendRaw(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::app);
    out << text;
}

// --- scenario script syntax ----------------------------------------------------------------

// A process may end between the opening of one of its /proc files and the read: the read
// then fails with ESRCH, which a C++ stream throws as an exception. The device's
// processes come and go while the runner scans /proc for SpringBoard's children (and,
// under a parallel test run, so do every other test's), so such a read must be nothing.
TEST(ProcFile, AProcessThatEndsBetweenOpenAndReadReadsAsNothing)
{
    auto endedAfterOpening = [](auto&& read) {
        pid_t child = ::fork();
        if (child == 0) {
            ::pause();
            ::_exit(0);
        }
        int fd = ::open(fmt::format("/proc/{}/stat", child).c_str(), O_RDONLY | O_CLOEXEC);
        std::ifstream stream(fmt::format("/proc/{}/stat", child));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        read(fd, stream);
        ::close(fd);
    };
    endedAfterOpening([](int fd, std::ifstream&) { EXPECT_EQ(readOpenedProcFile(fd), std::nullopt); });
    // What the scan did before: the stream throws.
    endedAfterOpening([](int, std::ifstream& stream) {
        EXPECT_ANY_THROW(std::string((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>()));
    });
    EXPECT_EQ(readProcFile("/proc/self/stat").value_or("").substr(0, std::to_string(::getpid()).size()), std::to_string(::getpid()));
}

// SpringBoard's end of the screen's change signal: only an eventfd handed to it is taken, and
// kept from the programs it starts; telling never waits, however much goes unread.
TEST(ScreenChangeSignal, SpringBoardTakesOnlyAnEventfdItWasHandedAndTellsWithoutWaiting)
{
    ScreenChangeSignal signal;
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    for (std::string named : { std::string(), std::string("seven"), std::to_string(pipeEnds[0]), std::string("99999") }) {
        ::setenv(ScreenChangeSignal::kEnvironmentName, named.c_str(), 1);
        EXPECT_EQ(ScreenChangeSignal::inheritedFd(), -1) << "named: " << named;
    }
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);

    ::fcntl(signal.fd(), F_SETFD, 0);  // as the supervisor hands it over
    ::setenv(ScreenChangeSignal::kEnvironmentName, std::to_string(signal.fd()).c_str(), 1);
    int inherited = ScreenChangeSignal::inheritedFd();
    ::unsetenv(ScreenChangeSignal::kEnvironmentName);
    ASSERT_EQ(inherited, signal.fd());
    EXPECT_EQ(::fcntl(inherited, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);

    for (int turn = 0; turn < 100000; ++turn)
        ScreenChangeSignal::tell(inherited);
    EXPECT_TRUE(signal.wait(0));
    EXPECT_FALSE(signal.wait(0)) << "every turn's news was read at once";
}

TEST(ScenarioScript, WordsQuotesAndComments)
{
    auto lines = parseScenario("# a comment\n\n  boot  \nexpect log \"xxxxxxxx crntUserData:-(null)\" # trailing\n"
                               "say SpringBoard's 'two words' \"a \\\"b\\\"\"\nkavlorctl set activeUser a#b\n");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].number, 3);
    EXPECT_EQ(lines[0].words, (std::vector<std::string> { "boot" }));
    EXPECT_EQ(lines[1].number, 4);
    EXPECT_EQ(lines[1].words, (std::vector<std::string> { "expect", "log", "xxxxxxxx crntUserData:-(null)" }));
    EXPECT_EQ(lines[2].words, (std::vector<std::string> { "say", "SpringBoard's", "two words", "a \"b\"" }));
    // A # inside a word is part of it; only a word-starting # begins a comment.
    EXPECT_EQ(lines[3].words.back(), "a#b");
    EXPECT_EQ(lines[1].text, "expect log \"xxxxxxxx crntUserData:-(null)\"");
}

TEST(ScenarioScript, UnclosedQuoteNamesTheLine)
{
    try {
        parseScenario("boot\nsay \"no end\n");
        FAIL() << "an unclosed quote was accepted";
    } catch (const ScriptSyntaxError& error) {
        EXPECT_EQ(error.line(), 2);
        EXPECT_NE(std::string(error.what()).find("unclosed"), std::string::npos);
    }
}

TEST(ScenarioScript, QuotedWordsSurviveTheRoundTrip)
{
    // A carriage return inside quotes is a letter, outside them a blank (found by fuzzing).
    for (std::string word : { std::string("plain"), std::string("two words"), std::string("a\"quote"), std::string("#hash"), std::string(""),
             std::string("carriage\rreturn") }) {
        auto words = splitScenarioWords("say " + quoteScenarioWord(word), 1);
        ASSERT_EQ(words.size(), 2u) << word;
        EXPECT_EQ(words[1], word);
    }
}

// --- trace ---------------------------------------------------------------------------------

TEST(DeviceTrace, EventsAreStampedWithTheDeviceClockAndKeepTheirTypes)
{
    TempDeviceRoot root;
    DeviceClock::reset();
    DeviceClock::publishVirtual(42.5);
    DeviceTrace::install("trace-test");
    DeviceTrace::write("kill", { { "name", "Game" }, { "target", 1000 }, { "sent", true }, { "pid", 7 }, { "event", "x" } });
    Trace::emit("log", { { "text", "xxxxxxxx crntUserData:-(null)" } });
    Trace::setSink(nullptr);

    auto events = readTrace(root);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0]["time"], 42.5);
    EXPECT_EQ(events[0]["pid"], ::getpid());
    EXPECT_EQ(events[0]["process"], "trace-test");
    EXPECT_EQ(events[0]["event"], "kill");
    EXPECT_EQ(events[0]["target"], 1000);
    EXPECT_EQ(events[0]["sent"], true);
    // A field that would overwrite the line's own keeps its value under another name.
    EXPECT_EQ(events[0]["field-pid"], 7);
    EXPECT_EQ(events[0]["field-event"], "x");
    EXPECT_EQ(events[1]["event"], "log");
    EXPECT_EQ(events[1]["text"], "xxxxxxxx crntUserData:-(null)");
}

TEST(DeviceTrace, LinesOfConcurrentWritersNeverMix)
{
    TempDeviceRoot root;
    DeviceClock::reset();
    std::string longText(20000, 'x');
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i)
                DeviceTrace::write("log", { { "text", longText }, { "writer", t } });
        });
    }
    for (auto& writer : writers)
        writer.join();
    auto events = readTrace(root);
    ASSERT_EQ(events.size(), 200u);
    for (const auto& event : events)
        ASSERT_EQ(event["text"], longText) << event.dump().substr(0, 200);
}

TEST(TraceFollower, HandsOutOnlyWholeNewLines)
{
    TempDeviceRoot root;
    std::string path = root.host("/trace.jsonl");
    appendRaw(path, "{\"event\":\"old\"}\n");
    TraceFollower follower(path, true);
    EXPECT_TRUE(follower.readNew().empty());

    appendRaw(path, "{\"event\":\"a\"}\n{\"event\":\"b\",\"x\":");
    auto first = follower.readNew();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0]["event"], "a");

    appendRaw(path, "1}\nnot json\n");
    auto second = follower.readNew();
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0]["event"], "b");
    EXPECT_EQ(second[0]["x"], 1);
    EXPECT_EQ(second[1]["event"], "unreadable-trace-line");
    EXPECT_EQ(second[1]["text"], "not json");
}

// `kavlor-sim trace` hands events out as it reads, a buffer at a time: lines that straddle
// two reads (or are longer than one) still come out whole, once, in order.
TEST(TraceFollower, StreamsEventsWholeAcrossReadsOfAnyLength)
{
    TempDeviceRoot root;
    std::string path = root.host("/trace.jsonl");
    std::string longText(200000, 'x');
    std::string contents;
    for (int i = 0; i < 3000; ++i)
        contents += fmt::format("{{\"event\":\"e{}\",\"text\":\"{}\"}}\n", i, i % 1000 == 7 ? longText : "short");
    appendRaw(path, contents + "{\"event\":\"unfinished\"");
    TraceFollower follower(path, false);
    int seen = 0;
    follower.forEachNew([&](nlohmann::ordered_json&& event) {
        EXPECT_EQ(event["event"], fmt::format("e{}", seen));
        EXPECT_EQ(event["text"].get<std::string>().size(), seen % 1000 == 7 ? longText.size() : 5u);
        ++seen;
    });
    EXPECT_EQ(seen, 3000);
    appendRaw(path, "}\n");
    auto last = follower.readNew();
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0]["event"], "unfinished");
}

// Every reader (the pretty lines, the story, the expectations) takes time, pid, process
// and event with their types; a line where one has another type is handed out as
// unreadable, like a line that is not JSON, instead of making its reader throw.
TEST(TraceFollower, ALineWhoseOwnFieldsHaveOtherTypesIsUnreadable)
{
    TempDeviceRoot root;
    std::string path = root.host("/trace.jsonl");
    TraceFollower follower(path, true);
    appendRaw(path, "{\"time\":\"soon\",\"pid\":1,\"process\":\"x\",\"event\":\"log\"}\n"
                    "{\"time\":1,\"pid\":\"one\",\"event\":\"log\"}\n"
                    "{\"time\":1,\"process\":7,\"event\":\"log\"}\n"
                    "{\"event\":7}\n"
                    "{\"time\":2.5,\"pid\":3,\"process\":\"SpringBoard\",\"event\":\"springboard-ready\"}\n");
    auto events = follower.readNew();
    ASSERT_EQ(events.size(), 5u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(events[i]["event"], "unreadable-trace-line") << i;
        EXPECT_NO_THROW(prettyTraceEvent(events[i])) << i;
        EXPECT_NO_THROW(storyLine(events[i])) << i;
    }
    EXPECT_EQ(events[4]["event"], "springboard-ready");
}

// A line that is not even UTF-8 is kept as text that is: printing it (as JSON or for a
// person) must not throw.
TEST(TraceFollower, ALineThatIsNotUTF8IsHandedOutAsValidText)
{
    TempDeviceRoot root;
    std::string path = root.host("/trace.jsonl");
    TraceFollower follower(path, true);
    appendRaw(path, "not json caf\xe9 at all\n");
    auto events = follower.readNew();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["event"], "unreadable-trace-line");
    EXPECT_NO_THROW(events[0].dump());
    EXPECT_NO_THROW(prettyTraceEvent(events[0]));
    EXPECT_NE(events[0]["text"].get<std::string>().find("not json caf"), std::string::npos);
}

TEST(TraceStory, AKillWithoutATargetIsToldAsFindingNothing)
{
    Json kill { { "time", 1 }, { "pid", 2 }, { "process", "killall" }, { "event", "kill" }, { "name", "Game" } };
    auto line = storyLine(kill);
    ASSERT_TRUE(line);
    EXPECT_NE(line->find("found no process named Game"), std::string::npos) << *line;
}

TEST(TraceStory, AnAlertIsToldOnceWithItsMessageCutShortOnOneLine)
{
    std::string message = "For users who jailbreak with Brennick\xE2\x80\x99s Taurine or Odyssey might experience issues with our tweaks "
                          "such as respring loop, crashed. \n\n1) Install";
    Json presented { { "time", 0 }, { "pid", 2 }, { "process", "SpringBoard" }, { "event", "view-controller-presented" },
        { "presenter", "SBIconController" }, { "presented", "UIAlertController" }, { "title", "IMPORTANT NOTE!" }, { "message", message } };
    EXPECT_FALSE(storyLine(presented));
    Json alert { { "time", 0 }, { "pid", 2 }, { "process", "SpringBoard" }, { "event", "alert" }, { "title", "IMPORTANT NOTE!" },
        { "message", message }, { "actions", "Okay" } };
    auto line = storyLine(alert);
    ASSERT_TRUE(line);
    EXPECT_NE(line->find("shows the alert \"IMPORTANT NOTE!\": \"For users who jailbreak with Brennick\xE2\x80\x99s Taurine"), std::string::npos) << *line;
    EXPECT_NE(line->find("tweaks \xE2\x80\xA6\" [Okay]"), std::string::npos) << *line;
    EXPECT_EQ(line->find('\n'), std::string::npos);
    Json sheet = presented;
    sheet["presented"] = "SBControlCenterViewController";
    EXPECT_TRUE(storyLine(sheet));
}

TEST(TraceFollower, PrettyLinesShowTimeProcessEventAndFields)
{
    Json event { { "time", 12.5 }, { "pid", 42 }, { "process", "SpringBoard" }, { "event", "springboard-start" }, { "ios", "14.4" },
        { "groups", "base,panel" } };
    EXPECT_EQ(prettyTraceEvent(event), "    12.500  SpringBoard[42]    springboard-start  ios=14.4  groups=base,panel");
    Json log { { "time", 0 }, { "pid", 1 }, { "process", "SpringBoard" }, { "event", "log" }, { "text", "xxxxxxxx a b" } };
    EXPECT_NE(prettyTraceEvent(log).find("log  xxxxxxxx a b"), std::string::npos);
}

// --- device clock --------------------------------------------------------------------------

TEST(DeviceClock, TheOwnerPublishesItsVirtualTimeForTheOtherProcesses)
{
    TempDeviceRoot root;
    DeviceClock::reset();
    DeviceClock::publishVirtual(100);
    RunLoop loop;
    EXPECT_EQ(DeviceClock::adoptFor(loop), DeviceClock::Kind::Virtual);
    EXPECT_EQ(loop.now(), ClockTime(Seconds(100)));
    loop.advanceBy(Seconds(25));
    // Not yet published: another process still reads the old time.
    EXPECT_EQ(DeviceClock::read()->value, 100);
    DeviceClock::publishIfMoved();
    EXPECT_EQ(DeviceClock::read()->value, 125);
    EXPECT_EQ(DeviceClock::now(), 125);
    DeviceClock::reset();
    EXPECT_EQ(DeviceClock::now(), 125);  // from the file now
}

TEST(DeviceClock, TheFileWordKeepsTheKindAndMicroseconds)
{
    for (auto setting : { DeviceClock::Setting { DeviceClock::Kind::Virtual, 10800.000001 }, DeviceClock::Setting { DeviceClock::Kind::Real, 123456.5 },
             DeviceClock::Setting { DeviceClock::Kind::Virtual, 0 } }) {
        auto back = DeviceClock::decode(DeviceClock::encode(setting));
        EXPECT_EQ(back.kind, setting.kind);
        EXPECT_NEAR(back.value, setting.value, 1e-6);
    }
}

TEST(DeviceClock, APublicationIsSeenAtOnceAndANewBootReplacesTheFile)
{
    TempDeviceRoot root;
    DeviceClock::reset();
    DeviceClock::publishVirtual(5);
    EXPECT_EQ(DeviceClock::now(), 5);
    for (int second = 6; second < 1000; ++second)
        DeviceClock::publishVirtual(second);
    EXPECT_EQ(DeviceClock::now(), 999);
    // A new boot writes a new file; readers follow it.
    DeviceClock::write({ DeviceClock::Kind::Virtual, 0 });
    EXPECT_EQ(DeviceClock::now(), 0);
}

// --- control channel -----------------------------------------------------------------------

class ControlChannelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_name = LocalSocket::nameFor("control-test-" + std::to_string(::getpid()), m_root.path());
        m_server.add("echo", [](const Json& request) { return Json { { "said", request.at("text") } }; });
        m_server.add("refuse", [](const Json&) -> Json { throw ControlError("not today"); });
        m_server.addAsync("later", [this](const Json&, ControlServer::Reply reply) {
            m_loop.enqueue([reply] { reply(Json { { "value", 7 } }); });
        });
        m_server.add("close", [this](const Json&) {
            m_server.close();
            return Json::object();
        });
        m_server.listen(m_name);
        m_thread = std::thread([this] { m_loop.run(); });
    }
    void TearDown() override
    {
        m_loop.stop();
        m_thread.join();
    }

    TempDeviceRoot m_root;
    RunLoop m_loop;
    ControlServer m_server { m_loop };
    std::thread m_thread;
    std::string m_name;
};

TEST_F(ControlChannelTest, AnswersRequestsAndReportsFaults)
{
    auto echoed = ControlClient::request(m_name, Json { { "command", "echo" }, { "text", "hi" } }, 5);
    ASSERT_TRUE(echoed.ok()) << echoed.reply.dump();
    EXPECT_EQ(echoed.reply["said"], "hi");

    auto refused = ControlClient::request(m_name, Json { { "command", "refuse" } }, 5);
    EXPECT_EQ(refused.status, ControlClient::Status::Answered);
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(refused.reply["error"], "not today");

    auto unknown = ControlClient::request(m_name, Json { { "command", "dance" } }, 5);
    EXPECT_NE(unknown.reply.value("error", std::string()).find("unknown command \"dance\""), std::string::npos);

    auto badArguments = ControlClient::request(m_name, Json { { "command", "echo" } }, 5);
    EXPECT_FALSE(badArguments.ok());
    EXPECT_NE(badArguments.reply.value("error", std::string()).find("echo"), std::string::npos);
}

TEST_F(ControlChannelTest, ADeferredAnswerComesFromALaterTurnOfTheLoop)
{
    auto result = ControlClient::request(m_name, Json { { "command", "later" } }, 5);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.reply["value"], 7);
}

TEST_F(ControlChannelTest, AServerThatGoesAwayIsToldApartFromNoServer)
{
    // The handler closes the channel before its answer can go out: the requester learns
    // that the server went away, not that it never was there.
    auto dropped = ControlClient::request(m_name, Json { { "command", "close" } }, 5);
    EXPECT_EQ(dropped.status, ControlClient::Status::Dropped);
    auto none = ControlClient::request(m_name, Json { { "command", "echo" }, { "text", "x" } }, 5);
    EXPECT_EQ(none.status, ControlClient::Status::NoServer);
}

// The events of one name the device's trace holds so far.
std::vector<Json> traceEventsNamed(const TempDeviceRoot& root, const std::string& name)
{
    std::vector<Json> found;
    TraceFollower trace(root.host("/var/log/kavlor-trace.jsonl"), false);
    for (const auto& event : trace.readNew()) {
        if (event.value("event", std::string()) == name)
            found.push_back(event);
    }
    return found;
}

// A client that sends requests and never reads the replies must not hold up the loop
// that serves everyone else: its replies wait, up to a bound, then it is dropped, which
// the trace says.
TEST_F(ControlChannelTest, AClientThatNeverReadsItsRepliesIsDroppedWithoutHoldingUpTheLoop)
{
    int flooder = LocalSocket::connectTo(m_name);
    std::string request = Json { { "command", "echo" }, { "text", std::string(64 * 1024, 'x') } }.dump() + "\n";
    bool cutOff = false;
    for (int sent = 0; sent < 200 && !cutOff; ++sent) {
        for (size_t done = 0; done < request.size();) {
            ssize_t count = ::send(flooder, request.data() + done, request.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (count > 0) {
                done += static_cast<size_t>(count);
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                cutOff = true;
                break;
            }
            // The server reads no faster than it can answer: meanwhile, others are served.
            auto other = ControlClient::request(m_name, Json { { "command", "echo" }, { "text", "still here" } }, 5);
            ASSERT_TRUE(other.ok()) << "the loop was held up: " << other.error;
        }
    }
    ::close(flooder);
    EXPECT_TRUE(cutOff) << "twelve megabytes of unread replies were kept";
    auto other = ControlClient::request(m_name, Json { { "command", "echo" }, { "text", "after" } }, 5);
    ASSERT_TRUE(other.ok()) << other.error;
    auto dropped = traceEventsNamed(m_root, "control-client-dropped");
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0].value("channel", ""), m_name);
    EXPECT_EQ(dropped[0].value("pid", 0), ::getpid());
    EXPECT_NE(dropped[0].value("reason", "").find("bytes of replies unread"), std::string::npos) << dropped[0].dump();
}

// Nothing is buffered without end: a line longer than any request cuts its sender off.
TEST_F(ControlChannelTest, ALineLongerThanAnyRequestCutsItsSenderOff)
{
    int sender = LocalSocket::connectTo(m_name);
    LineConnection connection(sender);
    EXPECT_FALSE(connection.sendLine(std::string(3 * kMaxLineBytes, 'x'), 10)) << "the server stopped taking it";
    auto dropped = traceEventsNamed(m_root, "control-client-dropped");
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_NE(dropped[0].value("reason", "").find("a request longer than 1048576 bytes"), std::string::npos) << dropped[0].dump();
}

// Another local user may not drive the device's processes (a root-run SpringBoard posts
// notifications and moves its clock on request).
TEST_F(ControlChannelTest, AClientOfAnotherUserIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to connect as another user";
    pid_t child = fork();
    if (child == 0) {
        if (::setuid(65534) != 0)
            _exit(3);
        auto result = ControlClient::request(m_name, Json { { "command", "echo" }, { "text", "let me in" } }, 5);
        _exit(result.status == ControlClient::Status::Dropped ? 0 : result.ok() ? 1 : 2);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: answered; 2: something else; 3: could not become another user";
    auto refused = traceEventsNamed(m_root, "control-client-refused");
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].value("uid", 0), 65534);
    EXPECT_TRUE(ControlClient::request(m_name, Json { { "command", "echo" }, { "text", "root" } }, 5).ok());
}

// A server that listens and never takes a connection (its queue full) makes a request
// time out instead of waiting for ever.
TEST(LocalSocket, AServerThatTakesNoConnectionMakesARequestTimeOut)
{
    TempDeviceRoot root;
    std::string name = LocalSocket::nameFor("never-accepts", root.path());
    int server = LocalSocket::listenOn(name);
    ASSERT_EQ(::listen(server, 0), 0);
    std::vector<int> queued;
    try {
        while (queued.size() < 64)
            queued.push_back(LocalSocket::connectTo(name, 0.2));
    } catch (const LocalSocket::ConnectTimedOut&) {
    }
    ASSERT_LT(queued.size(), 64u) << "the queue never filled";
    auto result = ControlClient::request(name, Json { { "command", "echo" } }, 0.2);
    EXPECT_EQ(result.status, ControlClient::Status::TimedOut) << result.error;
    EXPECT_NE(result.error.find("took no connection within 0.2 s"), std::string::npos) << result.error;
    for (int fd : queued)
        ::close(fd);
    ::close(server);
}

TEST(LocalSocket, NamesDependOnTheDeviceRoot)
{
    EXPECT_NE(LocalSocket::nameFor("springboard", "/a"), LocalSocket::nameFor("springboard", "/b"));
    EXPECT_EQ(LocalSocket::nameFor("springboard", "/a"), LocalSocket::nameFor("springboard", "/a"));
    // Long roots stay short: the abstract name never meets the 108-byte limit.
    EXPECT_LT(LocalSocket::nameFor("springboard", std::string(500, 'r')).size(), 60u);
}

// --- process list --------------------------------------------------------------------------

pid_t spawnSleeper()
{
    pid_t pid = 0;
    char sleep[] = "/bin/sleep", seconds[] = "30";
    char* argv[] = { sleep, seconds, nullptr };
    posix_spawn(&pid, "/bin/sleep", nullptr, nullptr, argv, nullptr);
    return pid;
}

TEST(ProcessTable, FindsLiveProcessesByNameAndForgetsEndedOnes)
{
    TempDeviceRoot root;
    pid_t app = spawnSleeper();
    ASSERT_GT(app, 0);
    ASSERT_TRUE(ProcessTable::add(app, "Game"));
    ASSERT_TRUE(ProcessTable::add(::getpid(), "Tester"));

    auto games = ProcessTable::findByName("Game");
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0].pid, app);

    ::kill(app, SIGKILL);
    // Not yet reaped: an ended process waiting for its parent counts as gone too.
    int status = 0;
    while (ProcessTable::findByName("Game").size() == 1u && ::waitpid(app, &status, WNOHANG) == 0) { }
    ::waitpid(app, &status, 0);
    EXPECT_TRUE(ProcessTable::findByName("Game").empty());
    EXPECT_FALSE(std::filesystem::exists(root.host("/var/run/kavlor/processes/" + std::to_string(app))));
    EXPECT_EQ(ProcessTable::findByName("Tester").size(), 1u);
}

// An entry is written aside ("PID.kavlor-write-XXXXXX") and renamed into place. A reader that took the
// file in flight for the entry of PID would list it half-written, or remove it as stale
// and make the writer's rename fail.
TEST(ProcessTable, AnEntryStillBeingWrittenIsLeftAlone)
{
    TempDeviceRoot root;
    ASSERT_TRUE(ProcessTable::add(::getpid(), "Half"));
    std::string entry = root.host("/var/run/kavlor/processes/" + std::to_string(::getpid()));
    std::string inFlight = entry + ".kavlor-write-Ab12Cd";
    std::filesystem::rename(entry, inFlight);

    EXPECT_TRUE(ProcessTable::findByName("Half").empty());
    EXPECT_TRUE(std::filesystem::exists(inFlight));
}

TEST(ProcessTable, AnEntryWhosePidWasReusedIsNotThatProcess)
{
    TempDeviceRoot root;
    // An entry that names this very pid with another start time was left by an earlier
    // process that had the pid.
    std::filesystem::create_directories(root.host("/var/run/kavlor/processes"));
    std::ofstream(root.host("/var/run/kavlor/processes/" + std::to_string(::getpid()))) << "SpringBoard\n1\n";
    EXPECT_TRUE(ProcessTable::findByName("SpringBoard").empty());
}

} // namespace
