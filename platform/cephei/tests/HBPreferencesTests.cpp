#include "SettingsTestSupport.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

using BoundSettingsTest = SettingsTest;
using SettingsReadsTest = SettingsTest;
using SettingsWritesTest = SettingsTest;
using DamagedSettingsTest = SettingsTest;
using SettingsRuntimeTest = SettingsTest;

TEST_F(BoundSettingsTest, FilledAtOnceWithTheStoredValueOrTheDefault)
{
    storeDirectly(NSDictionary::dictionary({
        { "toggleKavlor", NSNumber::numberWithBool(true) },
        { "showImportantAlert", NSNumber::numberWithBool(false) },
        { "adminPasscode", "1234"_ns },
    }));
    auto settings = HBPreferences::preferencesForIdentifier(m_identifier);
    bool toggleKavlor = false, showImportantAlert = true, hideLSAccount = true, absentWithYes = false;
    id adminPasscode, activeUser = "stale"_ns;
    settings->registerBool(&toggleKavlor, false, "toggleKavlor");
    settings->registerBool(&showImportantAlert, true, "showImportantAlert");
    settings->registerBool(&hideLSAccount, false, "hideLSAccount");
    settings->registerBool(&absentWithYes, true, "neverStored");
    settings->registerObject(&adminPasscode, ""_ns, "adminPasscode");
    settings->registerObject(&activeUser, nil, "activeUser");

    EXPECT_TRUE(toggleKavlor);
    EXPECT_FALSE(showImportantAlert); // a stored NO beats the default YES
    EXPECT_FALSE(hideLSAccount);
    EXPECT_TRUE(absentWithYes);
    EXPECT_EQ(describe(adminPasscode), "1234");
    EXPECT_FALSE(activeUser);
}

TEST_F(BoundSettingsTest, FollowEveryWriteOfTheDomainInThisProcessAtOnce)
{
    auto binder = HBPreferences::preferencesForIdentifier(m_identifier);
    auto writer = HBPreferences::preferencesForIdentifier(m_identifier);
    bool isKavlorActive = false;
    id adminPasscode;
    binder->registerBool(&isKavlorActive, false, "isKavlorActive");
    binder->registerObject(&adminPasscode, ""_ns, "adminPasscode");

    writer->setBool(true, "isKavlorActive");
    EXPECT_TRUE(isKavlorActive);
    writer->setObject("9876"_ns, "adminPasscode");
    EXPECT_EQ(describe(adminPasscode), "9876");
    writer->removeObjectForKey("adminPasscode");
    EXPECT_EQ(describe(adminPasscode), ""); // back to the default
    binder->setBool(false, "isKavlorActive"); // the binding object's own write
    EXPECT_FALSE(isKavlorActive);
    writer->setObject(nil, "isKavlorActive");
    EXPECT_FALSE(isKavlorActive);
}

// A bound boolean whose key goes away reads its registered default again, as it would
// after a respring: showImportantAlert (default YES) must come back on, whether the key
// was removed or went with a damaged file that a write set aside.
TEST_F(BoundSettingsTest, ABooleanWhoseKeyDisappearsFallsBackToItsDefault)
{
    storeDirectly(NSDictionary::dictionary({ { "showImportantAlert", NSNumber::numberWithBool(false) } }));
    auto binder = HBPreferences::preferencesForIdentifier(m_identifier);
    auto writer = HBPreferences::preferencesForIdentifier(m_identifier);
    bool showImportantAlert = true;
    binder->registerBool(&showImportantAlert, true, "showImportantAlert");
    ASSERT_FALSE(showImportantAlert);

    writer->removeObjectForKey("showImportantAlert");
    EXPECT_TRUE(showImportantAlert) << "removed: the default";

    writer->setBool(false, "showImportantAlert");
    ASSERT_FALSE(showImportantAlert);
    storeBytesDirectly("damaged");
    writer->setBool(true, "toggleKavlor");
    ASSERT_EQ(fileText(hostPath(".corrupt")), "damaged");
    EXPECT_TRUE(showImportantAlert) << "set aside with the damaged file: the default";
}

TEST_F(BoundSettingsTest, BooleansAreReadFromNumbersOnly)
{
    storeDirectly(NSDictionary::dictionary({
        { "asText", "YES"_ns },
        { "asInteger", NSNumber::numberWithInteger(1) },
        { "asZero", NSNumber::numberWithInteger(0) },
    }));
    auto settings = HBPreferences::preferencesForIdentifier(m_identifier);
    bool asText = false, asInteger = false, asZero = true;
    settings->registerBool(&asText, true, "asText");
    settings->registerBool(&asInteger, false, "asInteger");
    settings->registerBool(&asZero, true, "asZero");
    EXPECT_TRUE(asText) << "a string under a boolean key counts as absent: the default";
    EXPECT_TRUE(asInteger);
    EXPECT_FALSE(asZero);
    EXPECT_FALSE(settings->boolForKey("asText"));
    EXPECT_TRUE(settings->boolForKey("asInteger"));
}

TEST_F(BoundSettingsTest, AreWrittenOnTheMainThreadWhenTheWriteCameFromAnother)
{
    auto settings = HBPreferences::preferencesForIdentifier(m_identifier);
    bool hideLSAccount = false;
    settings->registerBool(&hideLSAccount, false, "hideLSAccount");

    std::thread([&] { settings->setBool(true, "hideLSAccount"); }).join();
    EXPECT_TRUE(settings->boolForKey("hideLSAccount")) << "the write itself is done at once";
    EXPECT_FALSE(hideLSAccount) << "the bound variable waits for the main run loop";
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return hideLSAccount; }, Seconds(5.0)));
}

TEST_F(BoundSettingsTest, AReleasedObjectIsForgottenByItsDomain)
{
    auto writer = HBPreferences::preferencesForIdentifier(m_identifier);
    bool followed = false;
    {
        auto shortLived = HBPreferences::preferencesForIdentifier(m_identifier);
        shortLived->registerBool(&followed, false, "toggleKavlor");
    }
    writer->setBool(true, "toggleKavlor"); // must not reach the freed object
    EXPECT_FALSE(followed);
    EXPECT_TRUE(writer->boolForKey("toggleKavlor"));
}

TEST_F(SettingsReadsTest, SeeTheFileAsItIsAtTheMomentOfTheRead)
{
    auto settings = HBPreferences::preferencesForIdentifier(m_identifier);
    EXPECT_FALSE(settings->boolForKey("isKavlorActive"));
    EXPECT_FALSE(settings->objectForKey("activeUser"));
    EXPECT_EQ(settings->dictionaryRepresentation()->count(), 0u);

    // Changed behind the object's back, as another process would.
    storeDirectly(NSDictionary::dictionary({ { "isKavlorActive", NSNumber::numberWithBool(true) }, { "activeUser", "Guest"_ns } }));
    EXPECT_TRUE(settings->boolForKey("isKavlorActive"));
    EXPECT_EQ(describe(settings->objectForKey("activeUser")), "Guest");
    storeDirectly(NSDictionary::dictionary({ { "activeUser", "Admin"_ns } }));
    EXPECT_FALSE(settings->boolForKey("isKavlorActive"));
    EXPECT_EQ(describe(settings->objectForKey("activeUser")), "Admin");
}

TEST_F(SettingsWritesTest, AreSeenByEveryObjectOfTheDomainAndKeepTheOtherKeys)
{
    storeDirectly(NSDictionary::dictionary({ { "toggleKavlor", NSNumber::numberWithBool(true) }, { "fontChroma", "FF0000"_ns } }));
    auto first = HBPreferences::preferencesForIdentifier(m_identifier);
    first->setObject("Guest"_ns, "activeUser");
    first->setBool(true, "isKavlorActive");

    auto later = HBPreferences::preferencesForIdentifier(m_identifier);
    EXPECT_EQ(describe(later->objectForKey("activeUser")), "Guest");
    EXPECT_TRUE(later->boolForKey("isKavlorActive"));
    Id<NSDictionary> all = later->dictionaryRepresentation();
    EXPECT_EQ(all->count(), 4u);
    EXPECT_TRUE(isEqual(all->objectForKey("fontChroma"), "FF0000"_ns));
    EXPECT_TRUE(isEqual(storedOnDisk(), all)) << "what objects read is what the file holds";
    EXPECT_FALSE(HBPreferences::preferencesForIdentifier(m_identifier + ".other")->objectForKey("activeUser"))
        << "another domain is another file";
}

TEST_F(SettingsWritesTest, AreTracedAndStoreTheValueAsGiven)
{
    std::vector<Trace::Fields> writes;
    Trace::setSink([&](const std::string& event, const Trace::Fields& fields) {
        if (event == "settings-write")
            writes.push_back(fields);
    });
    auto settings = HBPreferences::preferencesForIdentifier(m_identifier);
    settings->setObject(NSNumber::numberWithBool(false), "showImportantAlert");
    settings->removeObjectForKey("activeUser");
    settings->setObject(NSNumber::numberWithInteger(1), "retries");

    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0], (Trace::Fields { { "domain", m_identifier }, { "key", "showImportantAlert" }, { "value", "NO" } }));
    EXPECT_EQ(writes[1], (Trace::Fields { { "domain", m_identifier }, { "key", "activeUser" }, { "value", "(null)" } }));
    EXPECT_EQ(writes[2][2].second, "1") << "a number is not shown as a boolean";
    auto stored = storedOnDisk()->objectForKey("showImportantAlert").as<NSNumber>();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->kind(), NSNumber::Kind::Boolean);
}

TEST_F(SettingsWritesTest, AValueNoPropertyListCanHoldChangesNothing)
{
    storeDirectly(NSDictionary::dictionary({ { "activeUser", "Admin"_ns } }));
    std::string before = fileText(hostPath());
    auto settings = HBPreferences::preferencesForIdentifier(m_identifier);
    id activeUser;
    settings->registerObject(&activeUser, nil, "activeUser");

    settings->setObject(id(HBPreferences::alloc()), "activeUser");
    EXPECT_EQ(fileText(hostPath()), before);
    EXPECT_EQ(describe(activeUser), "Admin");
}

TEST_F(SettingsWritesTest, IdentifiersThatLeaveThePreferencesFolderAreRefused)
{
    EXPECT_FALSE(HBPreferences::preferencesForIdentifier("../../../etc/evil"));
    EXPECT_FALSE(HBPreferences::preferencesForIdentifier(""));
    EXPECT_FALSE(HBPreferences::preferencesForIdentifier(".."));
    auto unbound = HBPreferences::alloc(); // never given a domain
    bool variable = false;
    unbound->registerBool(&variable, true, "toggleKavlor");
    EXPECT_TRUE(variable);
    unbound->setBool(false, "toggleKavlor");
    EXPECT_FALSE(unbound->boolForKey("toggleKavlor"));
    EXPECT_FALSE(std::filesystem::exists(devicePath("/var/mobile/Library/Preferences/.plist")));
}

TEST_F(DamagedSettingsTest, ReadsAsEmptyAndIsKeptAsideByTheNextWrite)
{
    const std::string damaged = "<?xml version=\"1.0\"?><plist><dict><key>toggleKavlor</key><tr";
    storeBytesDirectly(damaged);
    auto settings = HBPreferences::preferencesForIdentifier(m_identifier);
    bool showImportantAlert = false;
    settings->registerBool(&showImportantAlert, true, "showImportantAlert");
    EXPECT_TRUE(showImportantAlert);
    EXPECT_FALSE(settings->boolForKey("toggleKavlor"));
    EXPECT_EQ(fileText(hostPath()), damaged) << "reading never touches the file";

    settings->setBool(false, "showImportantAlert");
    EXPECT_EQ(fileText(hostPath(".corrupt")), damaged);
    ASSERT_TRUE(storedOnDisk());
    EXPECT_EQ(storedOnDisk()->count(), 1u);
    EXPECT_FALSE(showImportantAlert);

    storeBytesDirectly("second damage");
    settings->setBool(true, "toggleKavlor");
    EXPECT_EQ(fileText(hostPath(".corrupt")), damaged) << "an earlier copy is never overwritten";
    EXPECT_EQ(fileText(hostPath(".corrupt.1")), "second damage");
    EXPECT_TRUE(settings->boolForKey("toggleKavlor"));
}

TEST_F(DamagedSettingsTest, IsNeverReplacedWhenItCannotBeKeptAside)
{
    storeBytesDirectly("damaged");
    std::ofstream(hostPath(".corrupt")) << "kept earlier";
    for (int copy = 1; copy < 100; ++copy)
        std::ofstream(hostPath(".corrupt." + std::to_string(copy))) << "kept earlier";
    auto settings = HBPreferences::preferencesForIdentifier(m_identifier);
    bool toggleKavlor = false;
    settings->registerBool(&toggleKavlor, false, "toggleKavlor");

    settings->setBool(true, "toggleKavlor");
    EXPECT_EQ(fileText(hostPath()), "damaged");
    EXPECT_FALSE(toggleKavlor) << "a refused write changes no bound variable";
}

// Present when the program runs under UndefinedBehaviorSanitizer's vptr check.
extern "C" void __ubsan_handle_dynamic_type_cache_miss() __attribute__((weak));

TEST_F(DamagedSettingsTest, AFileThatCannotBeOpenedForNowIsNotTakenForDamaged)
{
    // The vptr check probes memory through a pipe; in a process with no descriptor left it
    // reports every sound object as having an invalid vptr ("memory cannot be printed").
    // The reports this test drew under `make sanitize` were those, not faults.
    if (&__ubsan_handle_dynamic_type_cache_miss)
        GTEST_SKIP() << "UBSan's vptr check needs free descriptors, which this test takes away";
    storeDirectly(NSDictionary::dictionary({ { "toggleKavlor", NSNumber::numberWithBool(true) }, { "adminPasscode", "2580"_ns } }));
    pid_t child = fork();
    if (child == 0) {
        // Every descriptor but one in use: the write's lock takes it, so opening the
        // settings file fails with EMFILE, as in a process that ran out of descriptors.
        rlimit limit { 64, 64 };
        setrlimit(RLIMIT_NOFILE, &limit);
        std::vector<int> held;
        for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;)
            held.push_back(fd);
        ::close(held.back());
        HBPreferences::preferencesForIdentifier(m_identifier)->setBool(true, "isKavlorActive");
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_FALSE(std::filesystem::exists(hostPath(".corrupt")));
    auto stored = storedOnDisk();
    ASSERT_TRUE(stored) << "the settings are still where they were";
    EXPECT_TRUE(isEqual(stored->objectForKey("adminPasscode"), "2580"_ns));
}

TEST_F(SettingsRuntimeTest, EveryOperationIsReachedByMessageSend)
{
    Class cls = objc_getClass("HBPreferences");
    ASSERT_TRUE(cls);
    id settings = send<id>(send<id>(cls, "alloc"), "initWithIdentifier:", NSString::string(m_identifier));
    ASSERT_TRUE(settings);
    bool toggleKavlor = false;
    id adminPasscode;
    send(settings, "registerBool:default:forKey:", &toggleKavlor, false, "toggleKavlor"_ns);
    send(settings, "registerObject:default:forKey:", &adminPasscode, ""_ns, "adminPasscode"_ns);
    EXPECT_EQ(describe(adminPasscode), "");

    id other = send<id>(cls, "preferencesForIdentifier:", NSString::string(m_identifier));
    send(other, "setBool:forKey:", true, "toggleKavlor"_ns);
    send(other, "setObject:forKey:", "0000"_ns, "adminPasscode"_ns);
    EXPECT_TRUE(toggleKavlor);
    EXPECT_EQ(describe(adminPasscode), "0000");
    EXPECT_TRUE(send<bool>(settings, "boolForKey:", "toggleKavlor"_ns));
    EXPECT_EQ(describe(send<id>(settings, "objectForKey:", "adminPasscode"_ns)), "0000");
    send(other, "removeObjectForKey:", "adminPasscode"_ns);
    EXPECT_EQ(send<id>(settings, "dictionaryRepresentation").as<NSDictionary>()->count(), 1u);
    EXPECT_EQ(describe(send<id>(settings, "identifier")), m_identifier);
    EXPECT_FALSE(send<bool>(settings, "boolForKey:", nil)) << "a nil key reads as nothing";
}

TEST_F(SettingsRuntimeTest, TheClassOutlivesARuntimeResetAndItsObjectsKeepWorking)
{
    auto settings = HBPreferences::preferencesForIdentifier(m_identifier);
    objc_resetRuntimeForTesting();
    ASSERT_EQ(objc_getClass("HBPreferences"), HBPreferences::cls());
    send(settings, "setBool:forKey:", true, "toggleKavlor"_ns);
    EXPECT_TRUE(settings->boolForKey("toggleKavlor"));
}

} // namespace
