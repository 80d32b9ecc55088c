// set / get / unset through the real program: the type each value is stored with in the
// settings file, and what get prints.

#include "KavlorctlRunner.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;

namespace {

class SettingsTest : public KavlorctlTest {
protected:
    id stored(const std::string& key) const
    {
        auto settings = plist(kSettings);
        return settings ? settings->objectForKey(key) : nil;
    }
    void set(std::vector<std::string> arguments) const
    {
        arguments.insert(arguments.begin(), "set");
        auto result = run(arguments);
        ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    }
    std::string get(const std::string& key) const { return run({ "get", key }).standardOutput; }
};

TEST_F(SettingsTest, ValuesAreStoredWithTheTypeAskedFor)
{
    set({ "toggleKavlor", "true" });
    set({ "flag", "false" });
    set({ "word", "true", "--string" });
    set({ "count", "42", "--int" });
    set({ "negative", "--int", "--", "-5" });
    set({ "typed", "7", "--type", "int" });
    set({ "numberText", "42" });

    auto expectNumber = [&](const char* key, NSNumber::Kind kind, long long value) {
        auto number = stored(key).as<NSNumber>();
        ASSERT_TRUE(number) << key;
        EXPECT_EQ(number->kind(), kind) << key;
        EXPECT_EQ(number->integerValue(), value) << key;
    };
    expectNumber("toggleKavlor", NSNumber::Kind::Boolean, 1);
    expectNumber("flag", NSNumber::Kind::Boolean, 0);
    expectNumber("count", NSNumber::Kind::Integer, 42);
    expectNumber("negative", NSNumber::Kind::Integer, -5);
    expectNumber("typed", NSNumber::Kind::Integer, 7);
    ASSERT_TRUE(stored("word").as<NSString>());
    EXPECT_EQ(stored("word").as<NSString>()->utf8(), "true");
    ASSERT_TRUE(stored("numberText").as<NSString>());
    EXPECT_EQ(stored("numberText").as<NSString>()->utf8(), "42");

    EXPECT_EQ(get("toggleKavlor"), "true\n");
    EXPECT_EQ(get("flag"), "false\n");
    EXPECT_EQ(get("count"), "42\n");
    EXPECT_EQ(get("word"), "true\n");
}

TEST_F(SettingsTest, AnyKeyTakesAnyTypeSoOddValuesCanBeTried)
{
    set({ "backgroundChroma", "#3366CC" });
    EXPECT_EQ(stored("backgroundChroma").as<NSString>()->utf8(), "#3366CC");
    set({ "activeUser", "3", "--int" });
    EXPECT_EQ(stored("activeUser").as<NSNumber>()->kind(), NSNumber::Kind::Integer);
    set({ "isKavlorActive", "on" });
    EXPECT_TRUE(stored("isKavlorActive").as<NSString>()) << "anything but true and false is a string";

    auto result = run({ "set", "count", "forty", "--int" });
    EXPECT_NE(result.exitStatus, 0);
    EXPECT_THAT(result.standardError, HasSubstr("forty"));
    EXPECT_FALSE(stored("count"));
}

TEST_F(SettingsTest, GetOfAnAbsentKeyPrintsNothingAndFails)
{
    auto result = run({ "get", "toggleKavlor" });
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_THAT(result.standardError, HasSubstr("toggleKavlor"));
}

TEST_F(SettingsTest, UnsetRemovesOnlyThatKey)
{
    set({ "toggleKavlor", "true" });
    set({ "adminPasscode", "123456" });
    auto result = run({ "unset", "toggleKavlor" });
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_FALSE(stored("toggleKavlor"));
    EXPECT_EQ(get("adminPasscode"), "123456\n");
    EXPECT_EQ(run({ "get" }).standardOutput, "adminPasscode = 123456\n");

    auto again = run({ "unset", "toggleKavlor" });
    EXPECT_EQ(again.exitStatus, 0);
    EXPECT_THAT(again.standardError, HasSubstr("toggleKavlor"));
}

} // namespace
