// The real murvex program, run in a throw-away device root: its command line, the save and
// restore procedures, setting a guest's wallpaper, and elevation through the jailbreak.

#include "DeviceRootFixture.h"

#include "CPBitmap.h"
#include "JPEGCodec.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <unistd.h>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

const std::string kUsage = "::[Commands]:: \n\nsave :- To save wallpaper images\nrestore: To restore wallpaper images\n";
const std::string kLockCopy = "/Library/Kavlors/LockBackground.png";
const std::string kHomeCopy = "/Library/Kavlors/HomeBackground.png";
const std::string kLockBitmap = "/var/mobile/Library/SpringBoard/LockBackground.cpbitmap";
const std::string kHomeBitmap = "/var/mobile/Library/SpringBoard/HomeBackground.cpbitmap";
const std::string kLockMarker = "/var/mobile/Library/SpringBoard/LockBackgroundThumbnail.jpg";
const std::string kHomeMarker = "/var/mobile/Library/SpringBoard/HomeBackgroundThumbnail.jpg";

std::vector<long long> locationsOf(const std::vector<nlohmann::json>& calls)
{
    std::vector<long long> locations;
    for (const auto& call : calls)
        locations.push_back(call.at("location").get<long long>());
    return locations;
}

// --- Command line ---------------------------------------------------------------------

using MurvexCommandLine = DeviceRootFixture;

TEST_F(MurvexCommandLine, NoCommandPrintsTheErrorLineAndExitsWithOne)
{
    MurvexRun run = runMurvex({});
    EXPECT_EQ(run.standardOutput, "Error: you did not specify an option to run\n");
    EXPECT_EQ(run.exitStatus, 1);
}

TEST_F(MurvexCommandLine, WordsThatAreNotCommandsPrintTheUsageAndDoNothingElse)
{
    setSpringBoardWallpaper("Home", makeTestPicture(4, 4, 1));
    writePNG(kLockCopy, makeTestPicture(4, 4, 2));
    // The usage text's own words, commands in other letter case, prefixes and --help.
    for (std::string word : { "save", "restore", "SaveAdminWall", "saveadminwall", "RESPRING", "saveAdminWal", "saveAdminWallX", "--help", "" }) {
        MurvexRun run = runMurvex({ word });
        EXPECT_EQ(run.standardOutput, kUsage) << "for \"" << word << "\"";
        EXPECT_EQ(run.exitStatus, 1) << "for \"" << word << "\"";
    }
    EXPECT_FALSE(exists(kHomeCopy));
    EXPECT_TRUE(exists(kLockCopy));
    EXPECT_THAT(wallpaperServiceCalls(), IsEmpty());
    EXPECT_EQ(sbreloadRuns(), 0);
}

TEST_F(MurvexCommandLine, SetWallGuestWithoutAPathPrintsTheUsage)
{
    MurvexRun run = runMurvex({ "setWallGuest" });
    EXPECT_EQ(run.standardOutput, kUsage);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_THAT(wallpaperServiceCalls(), IsEmpty());
}

TEST_F(MurvexCommandLine, RespringRunsSbreloadOnceWhateverFollows)
{
    MurvexRun run = runMurvex({ "respring", "now", "please" });
    EXPECT_EQ(run.standardOutput, "");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(sbreloadRuns(), 1);
}

// --- Save procedure -------------------------------------------------------------------

using MurvexSave = DeviceRootFixture;

TEST_F(MurvexSave, BothWallpapersSetGiveTwoCopiesWithTheirPixels)
{
    Bitmap home = makeTestPicture(6, 9, 10);
    Bitmap lock = makeTestPicture(9, 6, 20);
    setSpringBoardWallpaper("Home", home);
    setSpringBoardWallpaper("Lock", lock);

    MurvexRun run = runMurvex({ "saveAdminWall" });

    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.standardOutput, "");
    EXPECT_EQ(readPNG(kHomeCopy), home);
    EXPECT_EQ(readPNG(kLockCopy), lock);
}

TEST_F(MurvexSave, HomeOnlyWritesTheHomeCopyAndRemovesTheLockCopy)
{
    Bitmap home = makeTestPicture(5, 5, 30);
    setSpringBoardWallpaper("Home", home);
    setSpringBoardWallpaper("Lock", makeTestPicture(5, 5, 31), /*markerPresent*/ false);
    writePNG(kLockCopy, makeTestPicture(3, 3, 32));

    runMurvex({ "saveAdminWall" });

    EXPECT_EQ(readPNG(kHomeCopy), home);
    EXPECT_FALSE(exists(kLockCopy));
}

TEST_F(MurvexSave, LockOnlyWritesTheLockCopyAndRemovesTheHomeCopy)
{
    Bitmap lock = makeTestPicture(5, 7, 40);
    setSpringBoardWallpaper("Lock", lock);
    writePNG(kHomeCopy, makeTestPicture(3, 3, 41));

    runMurvex({ "saveAdminWall" });

    EXPECT_EQ(readPNG(kLockCopy), lock);
    EXPECT_FALSE(exists(kHomeCopy));
}

TEST_F(MurvexSave, NeitherSetRemovesBothCopiesAndWritesNothing)
{
    setSpringBoardWallpaper("Home", makeTestPicture(4, 4, 50), false);
    setSpringBoardWallpaper("Lock", makeTestPicture(4, 4, 51), false);
    writePNG(kHomeCopy, makeTestPicture(3, 3, 52));
    writePNG(kLockCopy, makeTestPicture(3, 3, 53));

    MurvexRun run = runMurvex({ "saveAdminWall" });

    EXPECT_FALSE(exists(kHomeCopy));
    EXPECT_FALSE(exists(kLockCopy));
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.standardOutput, "");
}

TEST_F(MurvexSave, AnUnreadableOrEmptyBitmapKeepsTheOlderCopy)
{
    Bitmap olderHome = makeTestPicture(3, 3, 60);
    Bitmap olderLock = makeTestPicture(3, 3, 61);
    writePNG(kHomeCopy, olderHome);
    writePNG(kLockCopy, olderLock);
    // Home: the marker says set but the bitmap is missing. Lock: the bitmap is damaged.
    writeText(kHomeMarker, "thumbnail");
    writeText(kLockMarker, "thumbnail");
    writeText(kLockBitmap, "not a bitmap at all, just some bytes of text");

    MurvexRun run = runMurvex({ "saveAdminWall" });

    EXPECT_EQ(readPNG(kHomeCopy), olderHome);
    EXPECT_EQ(readPNG(kLockCopy), olderLock);
    // The person is told that the copies are older than the wallpapers; the preference
    // bundle still sees the one exit status murvex has.
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.standardOutput, "");
    EXPECT_THAT(run.standardError, HasSubstr(std::string("murvex: the wallpaper ") + kLockBitmap + " holds no readable image; the older copy "
        + kLockCopy + " is kept, and a restore would set it\n"));
    EXPECT_THAT(run.standardError, HasSubstr(std::string("murvex: the wallpaper ") + kHomeBitmap + " cannot be read; the older copy "));
}

TEST_F(MurvexSave, WithoutTheCopiesFolderNothingIsWrittenAndNothingFails)
{
    std::filesystem::remove_all(hostPath("/Library/Kavlors"));
    setSpringBoardWallpaper("Home", makeTestPicture(4, 4, 70));

    MurvexRun run = runMurvex({ "saveAdminWall" });

    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.standardOutput, "");
    EXPECT_FALSE(exists("/Library/Kavlors"));
}

// --- Restore procedure ----------------------------------------------------------------

using MurvexRestore = DeviceRootFixture;

TEST_F(MurvexRestore, BothCopiesSetTheLockCopyOnTheLockScreenThenTheHomeCopyOnTheHomeScreen)
{
    Bitmap lock = makeTestPicture(4, 6, 80);
    Bitmap home = makeTestPicture(6, 4, 81);
    writePNG(kLockCopy, lock);
    writePNG(kHomeCopy, home);

    runMurvex({ "restoreAdminWall" });

    auto calls = wallpaperServiceCalls();
    ASSERT_THAT(locationsOf(calls), ElementsAre(1, 2));
    EXPECT_EQ(calls[0]["light"]["sha256"], pixelDigest(lock));
    EXPECT_EQ(calls[1]["light"]["sha256"], pixelDigest(home));
    // SpringBoard's files now hold each screen's own picture.
    EXPECT_EQ(decodeCPBitmap(*readFile(kLockBitmap)).at(0), lock);
    EXPECT_EQ(decodeCPBitmap(*readFile(kHomeBitmap)).at(0), home);
}

TEST_F(MurvexRestore, OnlyTheHomeCopyIsSetOnBothScreens)
{
    Bitmap home = makeTestPicture(5, 5, 90);
    writePNG(kHomeCopy, home);

    runMurvex({ "restoreAdminWall" });

    auto calls = wallpaperServiceCalls();
    ASSERT_THAT(locationsOf(calls), ElementsAre(3));
    EXPECT_EQ(calls[0]["light"]["sha256"], pixelDigest(home));
    EXPECT_EQ(decodeCPBitmap(*readFile(kLockBitmap)).at(0), home);
    EXPECT_EQ(decodeCPBitmap(*readFile(kHomeBitmap)).at(0), home);
}

TEST_F(MurvexRestore, OnlyTheLockCopyIsSetOnBothScreens)
{
    Bitmap lock = makeTestPicture(5, 5, 100);
    writePNG(kLockCopy, lock);

    runMurvex({ "restoreAdminWall" });

    auto calls = wallpaperServiceCalls();
    ASSERT_THAT(locationsOf(calls), ElementsAre(3));
    EXPECT_EQ(calls[0]["dark"]["sha256"], pixelDigest(lock));
}

TEST_F(MurvexRestore, NoCopyMakesNoWallpaperCall)
{
    MurvexRun run = runMurvex({ "restoreAdminWall" });
    EXPECT_THAT(wallpaperServiceCalls(), IsEmpty());
    EXPECT_FALSE(exists(kLockBitmap));
    EXPECT_EQ(run.exitStatus, 1);
}

// --- Setting a guest's wallpaper ------------------------------------------------------

using MurvexSetWallGuest = DeviceRootFixture;

TEST_F(MurvexSetWallGuest, FromIOS13OneCallSetsTheSameImageForBothAppearances)
{
    setSystemVersion("14.2");
    Bitmap guest = makeTestPicture(7, 5, 110);
    writePNG("/var/mobile/guest.png", guest);

    runMurvex({ "setWallGuest", "/var/mobile/guest.png" });

    auto calls = wallpaperServiceCalls();
    ASSERT_EQ(calls.size(), 1u);
    const auto& call = calls[0];
    EXPECT_EQ(call["function"], "SBSUIWallpaperSetImages");
    EXPECT_EQ(call["location"], 3);
    EXPECT_EQ(call["style"], 2);
    for (const char* appearance : { "light", "dark" }) {
        EXPECT_EQ(call[appearance]["sha256"], pixelDigest(guest)) << appearance;
        EXPECT_EQ(call[appearance]["width"], 7) << appearance;
        EXPECT_EQ(call[appearance]["height"], 5) << appearance;
    }
    EXPECT_EQ(call["light"]["mode"], 1);
    EXPECT_EQ(call["dark"]["mode"], 2);
    EXPECT_TRUE(exists(kLockMarker));
    EXPECT_TRUE(exists(kHomeMarker));
}

TEST_F(MurvexSetWallGuest, BeforeIOS13OneCallSetsTheImageWithPlainOptions)
{
    setSystemVersion("12.4.1");
    Bitmap guest = makeTestPicture(5, 7, 120);
    writePNG("/var/mobile/guest.png", guest);

    runMurvex({ "setWallGuest", "/var/mobile/guest.png" });

    auto calls = wallpaperServiceCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]["function"], "SBSUIWallpaperSetImage");
    EXPECT_EQ(calls[0]["location"], 3);
    EXPECT_EQ(calls[0]["image"]["sha256"], pixelDigest(guest));
    EXPECT_EQ(calls[0]["image"]["mode"], 0);
    EXPECT_EQ(decodeCPBitmap(*readFile(kHomeBitmap)).at(0), guest);
}

TEST_F(MurvexSetWallGuest, JustBeforeIOS13UsesTheOldConventionAndExactly13TheNew)
{
    writePNG("/var/mobile/guest.png", makeTestPicture(3, 3, 125));
    setSystemVersion("12.9.9");
    runMurvex({ "setWallGuest", "/var/mobile/guest.png" });
    setSystemVersion("13.0");
    runMurvex({ "setWallGuest", "/var/mobile/guest.png" });

    auto calls = wallpaperServiceCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0]["function"], "SBSUIWallpaperSetImage");
    EXPECT_EQ(calls[1]["function"], "SBSUIWallpaperSetImages");
}

TEST_F(MurvexSetWallGuest, APathThatIsNoImageIsSkipped)
{
    writeText("/var/mobile/notes.txt", "not a picture");
    for (std::string path : { "/var/mobile/notes.txt", "/var/mobile/missing.png" }) {
        MurvexRun run = runMurvex({ "setWallGuest", path });
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.standardOutput, "");
    }
    EXPECT_THAT(wallpaperServiceCalls(), IsEmpty());
    EXPECT_FALSE(exists(kLockMarker));
}

// On the device "/.." is "/": a path climbing above it names another file than it seems
// to (and in the simulator would leave the device root); it is refused, saying so.
TEST_F(MurvexSetWallGuest, APathClimbingAboveTheRootIsRefused)
{
    writePNG("/var/mobile/guest.png", makeTestPicture(3, 3, 90));
    MurvexRun run = runMurvex({ "setWallGuest", "/../../var/mobile/guest.png" });
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.standardOutput, "");
    EXPECT_EQ(run.standardError, "murvex: /../../var/mobile/guest.png climbs above / with \"..\"; no wallpaper was set\n");
    EXPECT_THAT(wallpaperServiceCalls(), IsEmpty());
    // Climbing within the device is an ordinary path.
    EXPECT_EQ(runMurvex({ "setWallGuest", "/var/tmp/../mobile/guest.png" }).standardError, "");
    EXPECT_THAT(wallpaperServiceCalls(), Not(IsEmpty()));
}

TEST_F(MurvexSetWallGuest, WithoutTheWallpaperServicesNothingIsSetAndNothingFails)
{
    std::filesystem::remove(hostPath("/System/Library/PrivateFrameworks/SpringBoardUIServices.framework/SpringBoardUIServices"));
    writePNG("/var/mobile/guest.png", makeTestPicture(3, 3, 127));

    MurvexRun run = runMurvex({ "setWallGuest", "/var/mobile/guest.png" });

    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.standardOutput, "");
    EXPECT_FALSE(exists(kLockMarker));
}

TEST_F(MurvexSetWallGuest, AGuestWallpaperSavedAgainGivesThePixelsBack)
{
    Bitmap guest = makeTestPicture(31, 17, 130);
    writePNG("/var/mobile/guest.png", guest);

    runMurvex({ "setWallGuest", "/var/mobile/guest.png" });
    runMurvex({ "saveAdminWall" });

    EXPECT_EQ(readPNG(kLockCopy), guest);
    EXPECT_EQ(readPNG(kHomeCopy), guest);
}

TEST_F(MurvexSetWallGuest, AJPEGImageIsSetToo)
{
    auto jpeg = encodeJPEG(makeTestPicture(16, 16, 140), 90);
    writeFile("/var/mobile/guest.jpg", jpeg);

    runMurvex({ "setWallGuest", "/var/mobile/guest.jpg" });

    auto calls = wallpaperServiceCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]["light"]["width"], 16);
}

// --- Elevation ------------------------------------------------------------------------

using MurvexElevation = DeviceRootFixture;

TEST_F(MurvexElevation, AsRootTheJailbreakLibraryIsNeverLoaded)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: murvex's setuid(0) only succeeds for root";
    runMurvex({ "respring" });
    runMurvex({ "saveAdminWall" });
    EXPECT_FALSE(exists("/var/mobile/Library/Logs/libjailbreak.jsonl"));
}

TEST_F(MurvexElevation, WhenNotRootTheJailbreakEntitlesThenFixesSetuidAndTheCommandStillRuns)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to start murvex as the user nobody";

    MurvexRun run = runMurvex({ "respring" }, /*asNobody*/ true);
    if (run.exitStatus == kCannotRunAsNobody)
        GTEST_SKIP() << "the user nobody cannot start " << MURVEX_PATH
                     << " or load its libraries (a folder on the way is closed to others): " << run.standardError;

    EXPECT_EQ(run.exitStatus, 1);
    auto records = jailbreakRecords();
    ASSERT_EQ(records.size(), 3u) << run.standardError;
    EXPECT_EQ(records[0]["event"], "loaded");
    EXPECT_EQ(records[0]["uid"], 65534);
    EXPECT_EQ(records[1]["function"], "jb_oneshot_entitle_now");
    EXPECT_EQ(records[1]["flags"], 2);
    EXPECT_EQ(records[2]["function"], "jb_oneshot_fix_setuid_now");
    // Every call names murvex's own process.
    EXPECT_EQ(records[1]["pid"], records[0]["pid"]);
    EXPECT_EQ(records[2]["pid"], records[0]["pid"]);
    EXPECT_EQ(sbreloadRuns(), 1);
}

TEST_F(MurvexElevation, NoCommandMeansNoElevation)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to start murvex as the user nobody";
    MurvexRun run = runMurvex({}, /*asNobody*/ true);
    if (run.exitStatus == kCannotRunAsNobody)
        GTEST_SKIP() << "the user nobody cannot start " << MURVEX_PATH << ": " << run.standardError;
    EXPECT_EQ(run.standardOutput, "Error: you did not specify an option to run\n");
    EXPECT_THAT(jailbreakRecords(), IsEmpty());
}

} // namespace
