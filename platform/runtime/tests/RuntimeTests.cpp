#include "Block.h"
#include "ClassBuilder.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace {

struct Counter : objc_object {
    int value { 0 };
};

class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        objc_resetRuntimeForTesting();
        ClassBuilder("Base", "NSObject")
            .instancesOf<Counter>()
            .method("value", [](id self, SEL) -> long long { return self.as<Counter>()->value; })
            .method("setValue:", [](id self, SEL, long long v) { self.as<Counter>()->value = int(v); })
            .method("describe", [](id self, SEL) -> long long { return 1; })
            .classMethod("make", [](id self, SEL) -> id { return send<id>(self, "new"); });
        ClassBuilder("Derived", "Base");
    }
};

IMP previousDescribe;
long long replacedDescribe(id self, SEL selector) { return 100 + callOriginal<long long>(previousDescribe, self, selector); }

TEST_F(RuntimeTest, ClassesAreFoundByNameAndUnknownNamesAnswerNothing)
{
    EXPECT_NE(objc_getClass("Base"), nullptr);
    EXPECT_EQ(objc_getClass("SBNoSuchClass"), nullptr);
    EXPECT_EQ(class_getSuperclass(objc_getClass("Derived")), objc_getClass("Base"));
    EXPECT_EQ(sel("value"), sel_registerName("value"));
}

TEST_F(RuntimeTest, SendRunsTypedMethodsAndClassMethods)
{
    id object = send<id>(objc_getClass("Derived"), "make");
    ASSERT_TRUE(object);
    EXPECT_EQ(object_getClass(object), objc_getClass("Derived"));
    send(object, "setValue:", 42LL);
    EXPECT_EQ(send<long long>(object, "value"), 42);
    EXPECT_TRUE(send<bool>(object, "isKindOfClass:", objc_getClass("Base")));
}

TEST_F(RuntimeTest, MismatchedTypesAndUnknownSelectorsAreLoud)
{
    id object = send<id>(objc_getClass("Base"), "new");
    EXPECT_THROW(send(object, "setValue:", 42), RuntimeError); // int is not NSInteger
    EXPECT_THROW(send<id>(object, "value"), RuntimeError);
    EXPECT_THROW(send(object, "noSuchSelector"), RuntimeError);
}

TEST_F(RuntimeTest, MessagesToNilAnswerZero)
{
    EXPECT_EQ(send<long long>(nil, "value"), 0);
    EXPECT_FALSE(send<id>(nil, "anything"));
    send(nil, "noSuchSelector"); // nothing happens
}

TEST_F(RuntimeTest, HookInstallsReplacementAndHandsBackPrevious)
{
    previousDescribe = nullptr;
    MSHookMessageEx(objc_getClass("Base"), sel("describe"), reinterpret_cast<IMP>(&replacedDescribe), &previousDescribe);
    ASSERT_NE(previousDescribe, nullptr);
    id object = send<id>(objc_getClass("Base"), "new");
    EXPECT_EQ(send<long long>(object, "describe"), 101);
}

TEST_F(RuntimeTest, HookOnInheritedMethodReplacesOnTheSubclassOnly)
{
    previousDescribe = nullptr;
    MSHookMessageEx(objc_getClass("Derived"), sel("describe"), reinterpret_cast<IMP>(&replacedDescribe), &previousDescribe);
    EXPECT_EQ(send<long long>(send<id>(objc_getClass("Derived"), "new"), "describe"), 101);
    EXPECT_EQ(send<long long>(send<id>(objc_getClass("Base"), "new"), "describe"), 1);
}

TEST_F(RuntimeTest, HookOnMissingClassOrSelectorIsQuietAndLeavesSlotEmpty)
{
    IMP slot = nullptr;
    MSHookMessageEx(objc_getClass("SBMissing"), sel("describe"), reinterpret_cast<IMP>(&replacedDescribe), &slot);
    EXPECT_EQ(slot, nullptr);
    MSHookMessageEx(objc_getClass("Base"), sel("noSuchSelector"), reinterpret_cast<IMP>(&replacedDescribe), &slot);
    EXPECT_EQ(slot, nullptr);
    EXPECT_TRUE(runtime_installedMethods().empty());
}

long long addedAnswer(id, SEL) { return 7; }

TEST_F(RuntimeTest, AddMethodKeepsAnExistingMethod)
{
    Class base = objc_getClass("Base");
    EXPECT_FALSE(class_addMethod(base, sel("describe"), reinterpret_cast<IMP>(&addedAnswer), "q@:"));
    EXPECT_EQ(send<long long>(send<id>(base, "new"), "describe"), 1);
    EXPECT_TRUE(class_addMethod(base, sel("answer"), reinterpret_cast<IMP>(&addedAnswer), "q@:"));
    EXPECT_EQ(send<long long>(send<id>(base, "new"), "answer"), 7);
    EXPECT_FALSE(class_addMethod(nullptr, sel("answer"), reinterpret_cast<IMP>(&addedAnswer), "q@:"));
    auto installed = runtime_installedMethods();
    ASSERT_EQ(installed.size(), 1u);
    EXPECT_EQ(installed[0].selector, "answer");
    EXPECT_EQ(installed[0].kind, InstalledKind::Added);
    EXPECT_NE(installed[0].imagePath.find("runtime_tests"), std::string::npos);
}

TEST_F(RuntimeTest, AssociatedObjectsAreSetReplacedAndCleared)
{
    static char key;
    id owner = send<id>(objc_getClass("Base"), "new");
    id first = send<id>(objc_getClass("Base"), "new");
    id second = send<id>(objc_getClass("Base"), "new");
    objc_setAssociatedObject(owner, &key, first, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    EXPECT_EQ(first->retainCount(), 2);
    EXPECT_EQ(objc_getAssociatedObject(owner, &key), first);
    objc_setAssociatedObject(owner, &key, second, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    EXPECT_EQ(first->retainCount(), 1);
    EXPECT_EQ(objc_getAssociatedObject(owner, &key), second);
    objc_setAssociatedObject(owner, &key, nil, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    EXPECT_FALSE(objc_getAssociatedObject(owner, &key));
    EXPECT_EQ(second->retainCount(), 1);
}

TEST_F(RuntimeTest, RespondsToAndPerformSelector)
{
    id object = send<id>(objc_getClass("Base"), "new");
    EXPECT_TRUE(send<bool>(object, "respondsToSelector:", sel("value")));
    EXPECT_FALSE(respondsToSelector(object, "nothing"));
    EXPECT_EQ(performSelector(object, sel("init")), object);
}

TEST_F(RuntimeTest, BlocksHoldTheirCapturesAndCheckTheirSignature)
{
    id captured = send<id>(objc_getClass("Base"), "new");
    id block = makeBlock<long long(id)>([captured](id argument) { return argument == captured ? 1LL : 0LL; });
    EXPECT_EQ(captured->retainCount(), 2);
    EXPECT_EQ(callBlock<long long>(block, captured), 1);
    EXPECT_THROW(callBlock<void>(block), RuntimeError);
    EXPECT_EQ(callBlock<long long>(nil, captured), 0);
}


long long replacedValue(id, SEL) { return -1; }

// Sends go through each class's method cache; these check that the cache never answers
// with a method that has since been replaced, shadowed or added.
TEST_F(RuntimeTest, MethodsChangedAfterASendAreFoundByTheNextSend)
{
    Class base = objc_getClass("Base");
    Class derived = objc_getClass("Derived");
    id object = send<id>(derived, "new");
    EXPECT_EQ(send<long long>(object, "describe"), 1); // cached now

    previousDescribe = nullptr;
    MSHookMessageEx(derived, sel("describe"), reinterpret_cast<IMP>(&replacedDescribe), &previousDescribe);
    EXPECT_EQ(send<long long>(object, "describe"), 101); // an inherited method shadowed

    EXPECT_EQ(send<long long>(object, "value"), 0);
    IMP before = class_replaceMethod(base, sel("value"), reinterpret_cast<IMP>(&replacedValue), "q@:");
    EXPECT_NE(before, nullptr);
    EXPECT_EQ(send<long long>(object, "value"), -1); // replaced on the superclass
    method_setImplementation(class_getInstanceMethod(base, sel("value")), before);
    EXPECT_EQ(send<long long>(object, "value"), 0);

    EXPECT_THROW(send<long long>(object, "answer"), RuntimeError);
    EXPECT_TRUE(class_addMethod(base, sel("answer"), reinterpret_cast<IMP>(&addedAnswer), "q@:"));
    EXPECT_EQ(send<long long>(object, "answer"), 7); // added after a failed send

    class_replaceMethod(derived, sel("value"), reinterpret_cast<IMP>(&replacedValue), "q@:");
    EXPECT_EQ(send<long long>(object, "value"), -1); // added to the subclass
    EXPECT_EQ(send<long long>(send<id>(base, "new"), "value"), 0);
}

TEST_F(RuntimeTest, ACachedMethodStillRefusesAnotherCallSitesTypes)
{
    id object = send<id>(objc_getClass("Base"), "new");
    send(object, "setValue:", 5LL);
    EXPECT_EQ(send<long long>(object, "value"), 5);
    for (int round = 0; round < 2; ++round) {
        EXPECT_THROW(send<double>(object, "value"), RuntimeError);
        EXPECT_THROW(send(object, "setValue:", 5.0), RuntimeError);
        EXPECT_EQ(send<long long>(object, "value"), 5);
    }
    // A method added with a hand-written encoding is held to it the same way.
    ASSERT_TRUE(class_addMethod(objc_getClass("Base"), sel("answer"), reinterpret_cast<IMP>(&addedAnswer), "q@:@"));
    EXPECT_THROW(send<long long>(object, "answer"), RuntimeError);
}

TEST_F(RuntimeTest, CachesOfManySelectorsAndClassesAnswerEachTheirOwnMethod)
{
    Class base = objc_getClass("Base");
    for (int i = 0; i < 100; ++i)
        class_addMethod(base, sel(fmt::format("answer{}", i).c_str()), reinterpret_cast<IMP>(&addedAnswer), "q@:");
    ClassBuilder("Other", "NSObject").method("value", [](id, SEL) -> long long { return 99; });
    id object = send<id>(objc_getClass("Derived"), "new");
    id other = send<id>(objc_getClass("Other"), "new");
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(send<long long>(object, sel(fmt::format("answer{}", i).c_str())), 7);
        EXPECT_EQ(send<long long>(object, "value"), 0);
        EXPECT_EQ(send<long long>(other, "value"), 99);
    }
}

// A send lends its receiver and object arguments to the method instead of copying them;
// whatever the method keeps or answers must still hold its own reference.
TEST_F(RuntimeTest, WhatAMethodKeepsOfItsReceiverOrArgumentsOutlivesTheSend)
{
    static id kept;
    ClassBuilder("Keeper", "NSObject")
        .method("keep:", [](id, SEL, id argument) { kept = argument; })
        .method("keepMoved:", [](id, SEL, id argument) { kept = std::move(argument); })
        .method("me", [](id self, SEL) -> id { return self; });
    id keeper = send<id>(objc_getClass("Keeper"), "new");
    EXPECT_EQ(keeper->retainCount(), 1);
    EXPECT_EQ(send<id>(keeper, "me"), keeper);
    EXPECT_EQ(keeper->retainCount(), 1);

    send(keeper, "keep:", send<id>(objc_getClass("Base"), "new")); // a temporary argument
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->retainCount(), 1);
    send(keeper, "keepMoved:", send<id>(objc_getClass("Base"), "new"));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->retainCount(), 1);
    send(keeper, "keep:", keeper);
    EXPECT_EQ(keeper->retainCount(), 2);
    kept = nil;

    id made = send<id>(send<id>(objc_getClass("Keeper"), "alloc"), "me"); // the receiver was a temporary
    ASSERT_TRUE(made);
    EXPECT_EQ(made->retainCount(), 1);
}

} // namespace
