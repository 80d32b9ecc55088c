#include "NSInvocation.h"

#include <gtest/gtest.h>

namespace {

// What the last method called on an InvocationTestTarget received.
struct Received {
    std::string method;
    std::string value;
};
Received& received()
{
    static Received last;
    return last;
}

Class invocationTargetClass()
{
    static Class cls = ClassBuilder("InvocationTestTarget", NSObjectClass())
                           .permanent()
                           .method("setWallpaperMode:", [](id, SEL, long long mode) { received() = { "q", std::to_string(mode) }; })
                           .method("setCount:", [](id, SEL, int count) { received() = { "i", std::to_string(count) }; })
                           .method("setEnabled:", [](id, SEL, bool on) { received() = { "B", on ? "YES" : "NO" }; })
                           .method("setRatio:", [](id, SEL, double ratio) { received() = { "d", std::to_string(ratio) }; })
                           .method("setName:", [](id, SEL, id name) { received() = { "@", describe(name) }; })
                           .method("refresh", [](id, SEL) { received() = { "v", "" }; })
                           .method("moveFrom:to:", [](id, SEL, long long, long long) { received() = { "qq", "" }; })
                           .method("mode", [](id, SEL) -> long long { return 1; })
                           .get();
    return cls;
}

Id<NSInvocation> invocationFor(const id& target, const char* selector)
{
    auto signature = send<id>(target, "methodSignatureForSelector:", sel(selector)).as<NSMethodSignature>();
    if (!signature)
        return nullptr;
    auto invocation = NSInvocation::invocationWithMethodSignature(signature);
    invocation->setTarget(target);
    invocation->setSelector(sel(selector));
    return invocation;
}

class NSInvocationTest : public ::testing::Test {
protected:
    void SetUp() override { received() = {}; }
    id m_target = class_createInstance(invocationTargetClass());
};

TEST_F(NSInvocationTest, InvokesEachSupportedSignatureWithTheArgumentSet)
{
    // performSelectorWithInteger, as the wallpaper tool builds it.
    auto invocation = invocationFor(m_target, "setWallpaperMode:");
    ASSERT_TRUE(invocation);
    long long mode = 2;
    invocation->setArgument(&mode, 2);
    invocation->invoke();
    EXPECT_EQ(received().method, "q");
    EXPECT_EQ(received().value, "2");

    int count = -7;
    invocation = invocationFor(m_target, "setCount:");
    invocation->setArgument(&count, 2);
    invocation->invoke();
    EXPECT_EQ(received().value, "-7");

    bool enabled = true;
    invocation = invocationFor(m_target, "setEnabled:");
    invocation->setArgument(&enabled, 2);
    invocation->invoke();
    EXPECT_EQ(received().value, "YES");

    double ratio = 0.5;
    invocation = invocationFor(m_target, "setRatio:");
    invocation->setArgument(&ratio, 2);
    invocation->invoke();
    EXPECT_EQ(received().value, "0.500000");

    invocation = invocationFor(m_target, "refresh");
    invocation->invoke();
    EXPECT_EQ(received().method, "v");
}

TEST_F(NSInvocationTest, ObjectArgumentIsRetainedByTheInvocation)
{
    auto invocation = invocationFor(m_target, "setName:");
    {
        id name = NSString::string("Guest");
        invocation->setArgument(&name, 2);
    }
    invocation->invoke();
    EXPECT_EQ(received().method, "@");
    EXPECT_EQ(received().value, "Guest");
}

TEST_F(NSInvocationTest, RuntimeMessagesBuildAndInvokeTheSameWay)
{
    id signature = send<id>(m_target, "methodSignatureForSelector:", sel("setWallpaperMode:"));
    ASSERT_TRUE(signature);
    EXPECT_EQ(send<unsigned long long>(signature, "numberOfArguments"), 3u);
    id invocation = send<id>(objc_getClass("NSInvocation"), "invocationWithMethodSignature:", signature);
    send<void>(invocation, "setTarget:", m_target);
    send<void>(invocation, "setSelector:", sel("setWallpaperMode:"));
    long long mode = 1;
    send<void>(invocation, "setArgument:atIndex:", static_cast<void*>(&mode), 2LL);
    send<void>(invocation, "invoke");
    EXPECT_EQ(received().value, "1");
}

TEST_F(NSInvocationTest, WhatItCannotInvokeSafelyIsRefused)
{
    EXPECT_FALSE(send<id>(m_target, "methodSignatureForSelector:", sel("noSuchMethod")));
    EXPECT_THROW(NSInvocation::invocationWithMethodSignature(nullptr), RuntimeError);

    auto invocation = invocationFor(m_target, "setWallpaperMode:");
    int narrow = 3;
    EXPECT_THROW(invocation->setArgument(&narrow, 2), RuntimeError); // an int where the method takes q
    long long mode = 3;
    EXPECT_THROW(invocation->setArgument(&mode, 3), RuntimeError);
    EXPECT_THROW(invocation->setArgument(static_cast<const void*>(&mode), -1), RuntimeError);
    EXPECT_THROW(invocation->invoke(), RuntimeError); // argument 2 was never set

    invocation->setArgument(&mode, 2);
    invocation->setSelector(sel("setCount:")); // a method of another signature
    EXPECT_THROW(invocation->invoke(), RuntimeError);

    auto twoArguments = invocationFor(m_target, "moveFrom:to:");
    twoArguments->setArgument(&mode, 2);
    twoArguments->setArgument(&mode, 3);
    EXPECT_THROW(twoArguments->invoke(), RuntimeError);
    EXPECT_THROW(invocationFor(m_target, "mode")->invoke(), RuntimeError);
    EXPECT_EQ(received().method, "");

    invocation = invocationFor(m_target, "setWallpaperMode:");
    invocation->setArgument(&mode, 2);
    invocation->setTarget(nil);
    invocation->invoke(); // a message to nil does nothing
    EXPECT_EQ(received().method, "");
}

TEST(NSMethodSignatureTest, TypeEncodingsSplitIntoWholeTypes)
{
    EXPECT_EQ(splitTypeEncoding("B@:{NSOperatingSystemVersion=qqq}"), (std::vector<std::string> { "B", "@", ":", "{NSOperatingSystemVersion=qqq}" }));
    EXPECT_EQ(splitTypeEncoding("v@:^v{CGSize={P=dd}d}"), (std::vector<std::string> { "v", "@", ":", "^v", "{CGSize={P=dd}d}" }));
    EXPECT_TRUE(splitTypeEncoding("v@:{open").empty());
    EXPECT_TRUE(splitTypeEncoding("v@:%").empty());
    EXPECT_FALSE(NSMethodSignature::signatureWithObjCTypes("v@"));
    auto signature = NSMethodSignature::signatureWithObjCTypes("v@:q");
    ASSERT_TRUE(signature);
    EXPECT_EQ(signature->methodReturnType(), "v");
    EXPECT_EQ(signature->argumentTypeAtIndex(2), "q");
    EXPECT_THROW(signature->argumentTypeAtIndex(3), RuntimeError);
}

} // namespace
