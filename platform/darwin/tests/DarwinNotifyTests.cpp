#include "CFNotificationCenter.h"
#include "DarwinNotifyCenter.h"
#include "DarwinObserverRegistry.h"
#include "DeviceRoot.h"
#include "RunLoop.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Delivery {
    const void* observer;
    std::string name;
    const void* object;
    const void* userInfo;
    std::thread::id thread;
};
std::vector<Delivery> deliveries;

void recordDelivery(CFNotificationCenterRef, void* observer, CFStringRef name, const void* object, CFDictionaryRef userInfo)
{
    deliveries.push_back({observer, name, object, userInfo, std::this_thread::get_id()});
}

std::vector<std::string> deliveredNames(const void* observer)
{
    std::vector<std::string> names;
    for (const Delivery& delivery : deliveries) {
        if (delivery.observer == observer)
            names.push_back(delivery.name);
    }
    return names;
}

using Names = std::vector<std::string>;

// The helper program as a child process, its standard output read line by line.
class Helper {
public:
    explicit Helper(std::vector<std::string> arguments)
    {
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        arguments.insert(arguments.begin(), DARWIN_NOTIFY_HELPER);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        int error = posix_spawn(&m_pid, DARWIN_NOTIFY_HELPER, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        m_out = out[0];
        if (error != 0)
            throw std::runtime_error("cannot start " DARWIN_NOTIFY_HELPER);
    }
    ~Helper()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_out);
    }

    // The next line of output, or "" when none came within the time.
    std::string readLine(double timeoutSeconds = 5.0)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
        while (true) {
            auto newline = m_buffer.find('\n');
            if (newline != std::string::npos) {
                std::string line = m_buffer.substr(0, newline);
                m_buffer.erase(0, newline + 1);
                return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd readable{m_out, POLLIN, 0};
            if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0)
                return "";
            char chunk[256];
            ssize_t got = read(m_out, chunk, sizeof chunk);
            if (got <= 0)
                return "";
            m_buffer.append(chunk, static_cast<std::size_t>(got));
        }
    }

    // Exit status; the helper bounds its own run time, so this wait is bounded too.
    int wait()
    {
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    void killNow()
    {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_buffer;
};

class DarwinNotifyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kavlor-darwin-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        setenv("KAVLOR_DEVICE_ROOT", m_root.c_str(), 1);
        resetAll();
    }
    void TearDown() override
    {
        resetAll();
        unsetenv("KAVLOR_DEVICE_ROOT");
        std::filesystem::remove_all(m_root);
    }
    static void resetAll()
    {
        DarwinNotifyCenter::shared().resetForTesting();
        DarwinNotifyCenter::setTraceHook(nullptr);
        RunLoop::main().resetForTesting();
        deliveries.clear();
    }
    static void observe(const void* observer, const char* name,
        CFNotificationSuspensionBehavior behavior = CFNotificationSuspensionBehaviorDeliverImmediately)
    {
        CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), observer, recordDelivery, name,
            nullptr, behavior);
    }
    static void post(const char* name)
    {
        CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), name, nullptr, nullptr, true);
    }
    static std::vector<std::string> registry() { return DarwinObserverRegistry::forCurrentDeviceRoot().entries(); }

    std::string m_root;
};

int tag1, tag2, tag3;

}

TEST_F(DarwinNotifyTest, APostFromAnotherProcessIsDeliveredOnTheMainRunLoop)
{
    observe(&tag1, "com.Quennic.Kavlor/addedNewUser");
    Helper poster({"post", "com.Quennic.Kavlor/addedNewUser"});
    ASSERT_EQ(poster.wait(), 0);

    EXPECT_TRUE(deliveries.empty()) << "delivery happens on the run loop, not at arrival";
    ASSERT_TRUE(RunLoop::main().runUntil([] { return !deliveries.empty(); }, Seconds(5.0)));
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].observer, &tag1);
    EXPECT_EQ(deliveries[0].name, "com.Quennic.Kavlor/addedNewUser");
    EXPECT_EQ(deliveries[0].object, nullptr);
    EXPECT_EQ(deliveries[0].userInfo, nullptr);
    EXPECT_EQ(deliveries[0].thread, std::this_thread::get_id());
}

TEST_F(DarwinNotifyTest, APostReachesEveryObservingProcessInPostOrder)
{
    Helper first({"observe", "3", "one", "two"});
    Helper second({"observe", "3", "one", "two"});
    ASSERT_EQ(first.readLine(), "ready");
    ASSERT_EQ(second.readLine(), "ready");

    EXPECT_EQ(DarwinNotifyCenter::shared().post("two"), 2);
    post("one");
    post("not-observed");
    post("two");

    for (Helper* helper : {&first, &second}) {
        EXPECT_EQ(helper->readLine(), "two");
        EXPECT_EQ(helper->readLine(), "one");
        EXPECT_EQ(helper->readLine(), "two");
        EXPECT_EQ(helper->wait(), 0);
    }
}

TEST_F(DarwinNotifyTest, EachObserverOfAProcessIsCalledForItsOwnNamesOnly)
{
    observe(&tag1, "x");
    observe(&tag2, "x");
    observe(&tag3, "y");
    observe(&tag1, "x");  // the same registration again: still one call per post

    Helper poster({"post", "x", "y", "x"});
    ASSERT_EQ(poster.wait(), 0);
    EXPECT_EQ(DarwinNotifyCenter::shared().drainPendingNow(), 5);

    EXPECT_EQ(deliveredNames(&tag1), (Names{"x", "x"}));
    EXPECT_EQ(deliveredNames(&tag2), (Names{"x", "x"}));
    EXPECT_EQ(deliveredNames(&tag3), (Names{"y"}));
    ASSERT_EQ(deliveries.size(), 5u);
    EXPECT_EQ(deliveries[0].observer, &tag1) << "observers are called in registration order";
    EXPECT_EQ(deliveries[1].observer, &tag2);
}

TEST_F(DarwinNotifyTest, RemovedObserversAreNoLongerCalled)
{
    observe(&tag1, "x");
    observe(&tag1, "y");
    observe(&tag2, "x");
    CFNotificationCenterRemoveObserver(CFNotificationCenterGetDarwinNotifyCenter(), &tag1, "x", nullptr);
    post("x");
    post("y");
    DarwinNotifyCenter::shared().drainPendingNow();
    EXPECT_EQ(deliveredNames(&tag1), Names{"y"});
    EXPECT_EQ(deliveredNames(&tag2), Names{"x"});

    CFNotificationCenterRemoveEveryObserver(CFNotificationCenterGetDarwinNotifyCenter(), &tag1);
    EXPECT_EQ(DarwinNotifyCenter::shared().observerCount(), 1u);
}

TEST_F(DarwinNotifyTest, ACoalescingObserverGetsEachNameOnceFromWhatArrivedTogether)
{
    observe(&tag1, "x", CFNotificationSuspensionBehaviorCoalesce);
    observe(&tag1, "y", CFNotificationSuspensionBehaviorCoalesce);
    observe(&tag2, "x", CFNotificationSuspensionBehaviorDeliverImmediately);

    Helper poster({"post", "x", "x", "y", "x"});
    ASSERT_EQ(poster.wait(), 0);
    DarwinNotifyCenter::shared().drainPendingNow();
    EXPECT_EQ(deliveredNames(&tag1), (Names{"x", "y"}));
    EXPECT_EQ(deliveredNames(&tag2), (Names{"x", "x", "x"}));

    post("x");  // a later batch delivers again
    DarwinNotifyCenter::shared().drainPendingNow();
    EXPECT_EQ(deliveredNames(&tag1), (Names{"x", "y", "x"}));
}

TEST_F(DarwinNotifyTest, AnObserverThatDiedIsForgottenWithoutAnyDeliveryFailure)
{
    Helper doomed({"observe", "1", "x"});
    ASSERT_EQ(doomed.readLine(), "ready");
    doomed.killNow();  // SIGKILL: no chance to unregister
    ASSERT_EQ(registry().size(), 1u);

    observe(&tag1, "x");
    testing::internal::CaptureStderr();
    int reached = DarwinNotifyCenter::shared().post("x");
    std::string errors = testing::internal::GetCapturedStderr();

    EXPECT_EQ(reached, 1);
    EXPECT_EQ(errors, "");
    EXPECT_EQ(registry(), Names{DarwinNotifyCenter::shared().registryEntry()});
    DarwinNotifyCenter::shared().drainPendingNow();
    EXPECT_EQ(deliveredNames(&tag1), Names{"x"});
}

TEST_F(DarwinNotifyTest, AnObserverThatExitsNormallyLeavesNoRegistryEntry)
{
    Helper observer({"observe", "1", "x"});
    ASSERT_EQ(observer.readLine(), "ready");
    EXPECT_EQ(registry().size(), 1u);
    post("x");
    EXPECT_EQ(observer.readLine(), "x");
    EXPECT_EQ(observer.wait(), 0);
    EXPECT_TRUE(registry().empty());
    EXPECT_TRUE(std::filesystem::is_directory(m_root + "/var/run/darwin-notify"));
}

TEST_F(DarwinNotifyTest, DeviceRootsDoNotHearEachOther)
{
    Helper observer({"observe", "1", "x"});
    ASSERT_EQ(observer.readLine(), "ready");

    std::string otherRoot = m_root + "/other";
    setenv("KAVLOR_DEVICE_ROOT", otherRoot.c_str(), 1);
    EXPECT_EQ(DarwinNotifyCenter::shared().post("x"), 0);

    setenv("KAVLOR_DEVICE_ROOT", m_root.c_str(), 1);
    EXPECT_EQ(DarwinNotifyCenter::shared().post("x"), 1);
    EXPECT_EQ(observer.readLine(), "x");
    EXPECT_EQ(observer.wait(), 0);
}

TEST_F(DarwinNotifyTest, PostsToThisProcessBeyondTheSocketQueueAllArriveInOrder)
{
    // Far more than a datagram socket queues (net.unix.max_dgram_qlen, often 10).
    std::vector<std::string> names;
    for (int i = 0; i < 60; ++i) {
        names.push_back("n" + std::to_string(i));
        observe(&tag1, names.back().c_str());
    }
    testing::internal::CaptureStderr();
    for (const std::string& name : names)
        post(name.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(RunLoop::main().settle());
    EXPECT_EQ(deliveredNames(&tag1), names);
}

TEST_F(DarwinNotifyTest, ManyPostsToABusyProcessWaitForItToReadInsteadOfBeingLost)
{
    std::vector<std::string> arguments{"observe", "40"};
    for (int i = 0; i < 40; ++i)
        arguments.push_back("m" + std::to_string(i));
    Helper observer(arguments);
    ASSERT_EQ(observer.readLine(), "ready");
    testing::internal::CaptureStderr();
    for (int i = 0; i < 40; ++i)
        post(("m" + std::to_string(i)).c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(observer.readLine(), "m" + std::to_string(i));
    EXPECT_EQ(observer.wait(), 0);
}

TEST_F(DarwinNotifyTest, TheTraceHookSeesEveryPostAndEveryDelivery)
{
    std::vector<std::string> events;
    DarwinNotifyCenter::setTraceHook([&](const std::string& centre, const std::string& name, const std::string& direction) {
        events.push_back(centre + " " + name + " " + direction);
    });
    observe(&tag1, "x");
    observe(&tag2, "x");
    post("x");
    post("unobserved");
    DarwinNotifyCenter::shared().drainPendingNow();
    EXPECT_EQ(events, (Names{"darwin x post", "darwin unobserved post", "darwin x deliver", "darwin x deliver"}));
}

TEST_F(DarwinNotifyTest, UnusableArgumentsAreRefusedLoudly)
{
    testing::internal::CaptureStderr();
    observe(&tag1, nullptr);
    observe(&tag1, "");
    EXPECT_EQ(DarwinNotifyCenter::shared().post(std::string(2000, 'a')), -1);
    CFNotificationCenterPostNotification(nullptr, "x", nullptr, nullptr, true);
    std::string errors = testing::internal::GetCapturedStderr();

    EXPECT_EQ(DarwinNotifyCenter::shared().observerCount(), 0u);
    EXPECT_TRUE(registry().empty()) << "nothing registered, so this process does not listen";
    EXPECT_NE(errors.find("needs a notification name"), std::string::npos);
    EXPECT_NE(errors.find("cannot observe a notification name of 0 bytes"), std::string::npos);
    EXPECT_NE(errors.find("cannot post a notification name of 2000 bytes"), std::string::npos);
    EXPECT_NE(errors.find("not a notification centre"), std::string::npos);
}

TEST_F(DarwinNotifyTest, AForkedChildNeitherInheritsObserversNorUnregistersItsParent)
{
    observe(&tag1, "x");
    std::string entry = DarwinNotifyCenter::shared().registryEntry();
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        bool clean = DarwinNotifyCenter::shared().observerCount() == 0 && DarwinNotifyCenter::shared().registryEntry().empty();
        std::exit(clean ? 0 : 1);  // exit(), so the at-exit clean-up runs in the child
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(registry(), Names{entry});
    post("x");
    DarwinNotifyCenter::shared().drainPendingNow();
    EXPECT_EQ(deliveredNames(&tag1), Names{"x"});
}
