#include "SystemLog.h"
#include "Trace.h"

#include <gtest/gtest.h>

namespace {

class SystemLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Trace::setSink([this](const std::string& event, const Trace::Fields& fields) { m_events.push_back({ event, fields }); });
    }
    void TearDown() override { Trace::setSink(nullptr); }

    std::vector<std::pair<std::string, Trace::Fields>> m_events;
};

TEST_F(SystemLogTest, LinesAreFormattedExactlyAndReachCaptureAndTrace)
{
    SystemLog::Capture capture;
    NSLog("xxxxxxxx crntUserData:-%@", id());
    NSLog("xxxxxxxx activeUser data:-%@", NSDictionary::dictionary({ { "UserName", "Guest"_ns }, { "LimitedTime", NSNumber::numberWithInteger(3) } }));
    NSLog("aaaaa minutes %d seconds %d, %s at 100%%", 45, -3LL, "ok");
    NSLog("aaaaaaaaaa loadCurrentIconState activeUser:-%@", "Admin"_ns);

    std::vector<std::string> expected {
        "xxxxxxxx crntUserData:-(null)",
        "xxxxxxxx activeUser data:-{\n    UserName = Guest;\n    LimitedTime = 3;\n}",
        "aaaaa minutes 45 seconds -3, ok at 100%",
        "aaaaaaaaaa loadCurrentIconState activeUser:-Admin",
    };
    EXPECT_EQ(capture.lines(), expected);
    ASSERT_EQ(m_events.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(m_events[i].first, "log");
        EXPECT_EQ(m_events[i].second, (Trace::Fields { { "text", expected[i] } }));
    }
}

TEST_F(SystemLogTest, CapturesSeeOnlyTheirOwnLifetime)
{
    NSLog("before");
    SystemLog::Capture outer;
    {
        SystemLog::Capture inner;
        NSLog("during %d", 1);
        EXPECT_EQ(inner.lines(), std::vector<std::string> { "during 1" });
    }
    NSLog("after");
    EXPECT_EQ(outer.lines(), (std::vector<std::string> { "during 1", "after" }));
    outer.clear();
    EXPECT_TRUE(outer.lines().empty());
}

TEST_F(SystemLogTest, FormatAndArgumentsThatDisagreeAreRefusedAndNothingIsLogged)
{
    SystemLog::Capture capture;
    EXPECT_THROW(NSLog("value %d", "Admin"_ns), RuntimeError);
    EXPECT_THROW(NSLog("value %@", 3), RuntimeError);
    EXPECT_THROW(NSLog("value %s", 3), RuntimeError);
    EXPECT_THROW(NSLog("two %@ %@", "one"_ns), RuntimeError);
    EXPECT_THROW(NSLog("none", 1), RuntimeError);
    EXPECT_THROW(NSLog("bad %y", 1), RuntimeError);
    EXPECT_THROW(NSLog("dangling %"), RuntimeError);
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_TRUE(m_events.empty());
}

TEST(StringFormatTest, ConversionsRenderAsPrintfWithObjectsAsDescription)
{
    const char* nothing = nullptr;
    EXPECT_EQ(StringFormat::format("%s@:", "@"), "@@:");
    EXPECT_EQ(StringFormat::format("v@:%s", std::string("@")), "v@:@");
    EXPECT_EQ(StringFormat::format("[%5d|%-3d|%03d]", 42, 7, 5), "[   42|7  |005]");
    EXPECT_EQ(StringFormat::format("%ld %lld %lu %u", 1L, -2LL, 3UL, 4U), "1 -2 3 4");
    EXPECT_EQ(StringFormat::format("%d %d", true, false), "1 0");
    EXPECT_EQ(StringFormat::format("%.2f %x %c", 0.125, 255, 'k'), "0.12 ff k");
    EXPECT_EQ(StringFormat::format("%s", nothing), "(null)");
    EXPECT_EQ(StringFormat::format("%@ %@", NSArray::array({ "a"_ns }), NSNumber::numberWithBool(true)), "(\n    a\n) 1");
    EXPECT_EQ(stringWithFormat("%s", "/tmp/x y.png")->utf8(), "/tmp/x y.png");
    EXPECT_THROW(StringFormat::format("%f", 3), RuntimeError);
}

} // namespace
