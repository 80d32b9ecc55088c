#include "Block.h"
#include "DeviceRoot.h"
#include "FileSystem.h"
#include "NSFileManager.h"
#include "NSNotificationCenter.h"
#include "Trace.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// What the observers of a test saw, in order.
std::vector<std::string>& deliveries()
{
    static std::vector<std::string> list;
    return list;
}

// A class whose instances observe with selectors of both forms, and one of a wrong type.
Class observerClass()
{
    static Class cls = ClassBuilder("NotificationTestObserver", NSObjectClass())
                           .permanent()
                           .method("received:", [](id, SEL, id notification) {
                               auto note = notification.as<NSNotification>();
                               deliveries().push_back("selector:" + note->name()->utf8());
                           })
                           .method("ping", [](id, SEL) { deliveries().push_back("ping"); })
                           .method("count:", [](id, SEL, long long) { deliveries().push_back("count"); })
                           .get();
    return cls;
}

id makeBlockObserver(std::string label)
{
    return makeBlock<void(id)>([label](id notification) {
        deliveries().push_back(label + ":" + notification.as<NSNotification>()->name()->utf8());
    });
}

class NSNotificationCenterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        deliveries().clear();
        NSNotificationCenter::defaultCenter()->resetForTesting();
    }
    void TearDown() override
    {
        NSNotificationCenter::defaultCenter()->resetForTesting();
        Trace::setSink(nullptr);
    }

    Id<NSNotificationCenter> m_center = NSNotificationCenter::defaultCenter();
};

TEST_F(NSNotificationCenterTest, DeliversInRegistrationOrderToMatchingNamesOnly)
{
    id observer = class_createInstance(observerClass());
    m_center->addObserverForName("com.Quennic.Kavlor/startGuestMode"_ns, nil, NSOperationQueue::mainQueue(), makeBlockObserver("start"));
    m_center->addObserver(observer, sel("received:"), "com.Quennic.Kavlor/startGuestMode"_ns, nil);
    m_center->addObserverForName(nullptr, nil, nullptr, makeBlockObserver("all"));
    m_center->addObserverForName("com.Quennic.Kavlor/endGuestMode"_ns, nil, nullptr, makeBlockObserver("end"));

    m_center->postNotificationName("com.Quennic.Kavlor/startGuestMode"_ns, nil, nil);
    EXPECT_EQ(deliveries(), (std::vector<std::string> { "start:com.Quennic.Kavlor/startGuestMode",
                                "selector:com.Quennic.Kavlor/startGuestMode", "all:com.Quennic.Kavlor/startGuestMode" }));
    deliveries().clear();
    m_center->postNotificationName("com.Quennic.Kavlor/endGuestMode"_ns, nil);
    EXPECT_EQ(deliveries(), (std::vector<std::string> { "all:com.Quennic.Kavlor/endGuestMode", "end:com.Quennic.Kavlor/endGuestMode" }));
    deliveries().clear();
    m_center->postNotificationName("com.Quennic.Kavlor/startGuestModeX"_ns, nil);
    EXPECT_EQ(deliveries(), std::vector<std::string> { "all:com.Quennic.Kavlor/startGuestModeX" });
}

TEST_F(NSNotificationCenterTest, AnObserversObjectMatchesOnlyThatVeryObject)
{
    id scrollView = class_createInstance(observerClass());
    id otherView = class_createInstance(observerClass());
    Id<NSString> sender = "sender"_ns;
    m_center->addObserverForName("ShowUserAccountNotification"_ns, scrollView, nullptr, makeBlockObserver("view"));
    m_center->addObserverForName("ShowUserAccountNotification"_ns, sender, nullptr, makeBlockObserver("string"));

    m_center->postNotificationName("ShowUserAccountNotification"_ns, otherView);
    m_center->postNotificationName("ShowUserAccountNotification"_ns, nil);
    m_center->postNotificationName("ShowUserAccountNotification"_ns, "sender"_ns); // equal, but another object
    EXPECT_TRUE(deliveries().empty());
    m_center->postNotificationName("ShowUserAccountNotification"_ns, scrollView);
    EXPECT_EQ(deliveries(), std::vector<std::string> { "view:ShowUserAccountNotification" });
}

TEST_F(NSNotificationCenterTest, ObserversAddedDuringAPostingWaitAndRemovedOnesAreSkipped)
{
    id lateToken;
    id victimToken;
    m_center->addObserverForName("n"_ns, nil, nullptr, makeBlock<void(id)>([&](id) {
        deliveries().push_back("first");
        if (!lateToken)
            lateToken = m_center->addObserverForName("n"_ns, nil, nullptr, makeBlockObserver("late"));
        m_center->removeObserver(victimToken);
    }));
    victimToken = m_center->addObserverForName("n"_ns, nil, nullptr, makeBlockObserver("victim"));

    m_center->postNotificationName("n"_ns, nil);
    EXPECT_EQ(deliveries(), std::vector<std::string> { "first" });
    deliveries().clear();
    m_center->postNotificationName("n"_ns, nil);
    EXPECT_EQ(deliveries(), (std::vector<std::string> { "first", "late:n" }));
    m_center->removeObserver(lateToken);
    EXPECT_EQ(m_center->observerCount(), 1u);
}

TEST_F(NSNotificationCenterTest, RemoveObserverByNameLeavesItsOtherRegistrations)
{
    id observer = class_createInstance(observerClass());
    m_center->addObserver(observer, sel("received:"), "a"_ns, nil);
    m_center->addObserver(observer, sel("received:"), "b"_ns, nil);
    m_center->removeObserver(observer, "a"_ns, nil);
    m_center->postNotificationName("a"_ns, nil);
    m_center->postNotificationName("b"_ns, nil);
    EXPECT_EQ(deliveries(), std::vector<std::string> { "selector:b" });
    m_center->removeObserver(observer);
    EXPECT_EQ(m_center->observerCount(), 0u);
}

TEST_F(NSNotificationCenterTest, RuntimeMessagesPostWithUserInfoAndTraceEachPosting)
{
    std::vector<Trace::Fields> traced;
    Trace::setSink([&](const std::string& event, const Trace::Fields& fields) {
        if (event == "notification")
            traced.push_back(fields);
    });
    Id<NSDictionary> received;
    id center = send<id>(objc_getClass("NSNotificationCenter"), "defaultCenter");
    id queue = send<id>(objc_getClass("NSOperationQueue"), "mainQueue");
    id token = send<id>(center, "addObserverForName:object:queue:usingBlock:", "com.Quennic.Kavlor/addedNewUser"_ns, nil, queue,
        makeBlock<void(id)>([&](id notification) {
            received = send<id>(notification, "userInfo").as<NSDictionary>();
            deliveries().push_back(send<id>(notification, "name").as<NSString>()->utf8());
        }));
    EXPECT_TRUE(token);
    id observer = class_createInstance(observerClass());
    send<void>(center, "addObserver:selector:name:object:", observer, sel("ping"), "com.Quennic.Kavlor/addedNewUser"_ns, nil);

    send<void>(center, "postNotificationName:object:userInfo:", "com.Quennic.Kavlor/addedNewUser"_ns, nil,
        NSDictionary::dictionary({ { "k", "v"_ns } }));
    EXPECT_EQ(deliveries(), (std::vector<std::string> { "com.Quennic.Kavlor/addedNewUser", "ping" }));
    ASSERT_TRUE(received);
    EXPECT_TRUE(isEqual(received->objectForKey("k"), "v"_ns));
    send<void>(center, "postNotificationName:object:", "ShowUserAccountNotification"_ns, nil);
    EXPECT_EQ(traced, (std::vector<Trace::Fields> { { { "centre", "local" }, { "name", "com.Quennic.Kavlor/addedNewUser" } },
                          { { "centre", "local" }, { "name", "ShowUserAccountNotification" } } }));
}

TEST_F(NSNotificationCenterTest, ProgrammingErrorsAreLoud)
{
    id observer = class_createInstance(observerClass());
    id center = m_center;
    EXPECT_THROW(m_center->postNotificationName(nullptr, nil), RuntimeError);
    EXPECT_THROW(send<void>(center, "postNotificationName:object:", NSNumber::numberWithInteger(1), nil), RuntimeError);
    EXPECT_THROW(m_center->addObserverForName("x"_ns, nil, make<NSOperationQueue>(), makeBlockObserver("q")), RuntimeError);
    EXPECT_THROW(m_center->addObserverForName("x"_ns, nil, "main"_ns, makeBlockObserver("q")), RuntimeError);
    EXPECT_THROW(m_center->postNotificationName("x"_ns, nil, "not a dictionary"_ns), RuntimeError);
    // An observer whose method takes something other than the notification.
    m_center->addObserver(observer, sel("count:"), "typed"_ns, nil);
    EXPECT_THROW(m_center->postNotificationName("typed"_ns, nil), RuntimeError);
    EXPECT_TRUE(deliveries().empty());
}

TEST(NSFileManagerTest, FileExistsAtPathLooksUnderTheDeviceRoot)
{
    auto root = std::filesystem::temp_directory_path() / ("filemanager-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(root / "var/mobile/Library/SpringBoard");
    setenv("KAVLOR_DEVICE_ROOT", root.c_str(), 1);
    const char* marker = "/var/mobile/Library/SpringBoard/HomeBackgroundThumbnail.jpg";
    id manager = send<id>(objc_getClass("NSFileManager"), "defaultManager");
    EXPECT_FALSE(send<bool>(manager, "fileExistsAtPath:", NSString::string(marker)));
    ASSERT_TRUE(FileSystem::writeFile(marker, { 1, 2, 3 }));
    EXPECT_TRUE(send<bool>(manager, "fileExistsAtPath:", NSString::string(marker)));
    EXPECT_TRUE(NSFileManager::defaultManager()->fileExistsAtPath("/var/mobile"));
    EXPECT_FALSE(send<bool>(manager, "fileExistsAtPath:", nil));
    unsetenv("KAVLOR_DEVICE_ROOT");
    std::filesystem::remove_all(root);
}

// ".." of the device's "/" is "/" again, as the kernel has it: no device path names a
// file outside the device root, however many times it climbs.
TEST(DeviceRootTest, DotDotNeverLeavesTheDeviceRoot)
{
    setenv("KAVLOR_DEVICE_ROOT", "/tmp/device", 1);
    EXPECT_EQ(devicePath("/../../etc/shadow"), "/tmp/device/etc/shadow");
    EXPECT_EQ(devicePath("/var/../../../etc/passwd"), "/tmp/device/etc/passwd");
    EXPECT_EQ(devicePath("/var/mobile/../root/./x"), "/tmp/device/var/root/x");
    EXPECT_EQ(devicePath("/tmp/device/../../etc"), "/tmp/device/etc");
    EXPECT_EQ(devicePath("/.."), "/tmp/device/");
    EXPECT_EQ(devicePath("/var/mobile/Library/a..b/..c"), "/tmp/device/var/mobile/Library/a..b/..c");
    EXPECT_EQ(devicePath("/tmp/device/var/x"), "/tmp/device/var/x");
    EXPECT_TRUE(climbsAboveDeviceRoot("/../../etc/shadow"));
    EXPECT_TRUE(climbsAboveDeviceRoot("/var/../.."));
    EXPECT_FALSE(climbsAboveDeviceRoot("/var/mobile/../root"));
    EXPECT_FALSE(climbsAboveDeviceRoot("/var/..x/y.."));
    unsetenv("KAVLOR_DEVICE_ROOT");
}

} // namespace
