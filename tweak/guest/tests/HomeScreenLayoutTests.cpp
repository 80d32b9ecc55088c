#include "RestrictionSpringBoardTest.h"
#include "HomeScreenLayout.h"

#include "FileSystem.h"
#include "SBIconModel.h"
#include "SystemLog.h"
#include "UIImage.h"
#include "UIImageView.h"
#include "UIKitSupport.h"

#include <fstream>

namespace {

using Strings = std::vector<std::string>;
using enum IconStateAnswer;

TEST(HomeScreenLayoutDecisionTest, TheOwnerOrNobodyKeepsTheLayoutCopyAGuestNever)
{
    struct Case {
        id user;
        bool ownerOrUnset;
    };
    for (const auto& [user, ownerOrUnset] : std::vector<Case> { { "Admin"_ns, true }, { ""_ns, true }, { nil, true },
             { NSNumber::numberWithInteger(1), true }, { "Guest"_ns, false }, { "admin"_ns, false } }) {
        SCOPED_TRACE(describe(user));
        EXPECT_EQ(iconStateSaveKeepsCopy(user), ownerOrUnset);
        EXPECT_EQ(iconStateAnswer(user, true), ownerOrUnset ? StoredCopy : Loaded);
        EXPECT_EQ(iconStateAnswer(user, false), ownerOrUnset ? LoadedAndKept : Loaded);
    }
}

TEST(HomeScreenLayoutDecisionTest, TheWallpaperIsLeftOutOnlyForTheOwnerOutsideGuestMode)
{
    EXPECT_FALSE(showsGuestWallpaper(false, "Admin"_ns));
    EXPECT_TRUE(showsGuestWallpaper(true, "Admin"_ns));
    EXPECT_TRUE(showsGuestWallpaper(false, "Guest"_ns));
    EXPECT_TRUE(showsGuestWallpaper(false, ""_ns)) << "an empty name is not the owner here";
    EXPECT_TRUE(showsGuestWallpaper(false, nil));
}

class HomeScreenLayoutTest : public RestrictionSpringBoardTest {
protected:
    static Id<NSDictionary> iconStateFile() { return PropertyList::readDictionaryFile(kIconStatePath); }

    static Strings firstPageOf(const id& state)
    {
        Strings page;
        auto pages = state.as<NSDictionary>()->valueForKey<NSArray>("iconLists");
        for (const auto& entry : *pages->objectAtIndex(0).as<NSArray>())
            page.push_back(entry.as<NSString>()->utf8());
        return page;
    }

    static id springBoardStore() { return UIKitSupport::allocInit("SBDefaultIconModelStore"); }

    static Id<NSDictionary> iconStateOf(Strings page)
    {
        std::vector<id> entries;
        for (const auto& bundleID : page)
            entries.push_back(NSString::string(bundleID));
        return NSDictionary::dictionary({ { "buttonBar", NSArray::array() }, { "iconLists", NSArray::array({ NSArray::array(entries) }) } });
    }
};

TEST_F(HomeScreenLayoutTest, TheOwnersFirstLoadKeepsSpringBoardsLayoutAndLaterLoadsAnswerTheCopy)
{
    writeIconState({ "com.apple.camera", "com.apple.mobilesafari" });
    settings()->setObject("Admin"_ns, Key::activeUser);
    SystemLog::Capture log;
    SpringBoardApp& app = launch();
    ASSERT_TRUE(iconStateFile());
    EXPECT_EQ(firstPageOf(iconStateFile()->objectForKey("KavlorIconState")), (Strings { "com.apple.camera", "com.apple.mobilesafari" }));
    auto lines = log.lines();
    EXPECT_TRUE(std::count(lines.begin(), lines.end(), "aaaaaaaaaa loadCurrentIconState activeUser:-Admin"));

    // SpringBoard's own storage now holds another layout (the last guest's): the copy wins.
    writeIconState({ "com.apple.Maps" });
    SystemLog::Capture again;
    id state = send<id>(springBoardStore(), "loadCurrentIconState:", static_cast<id*>(nullptr));
    EXPECT_EQ(firstPageOf(state), (Strings { "com.apple.camera", "com.apple.mobilesafari" }));
    EXPECT_EQ(again.lines(), (Strings { "aaaaaaaaaa loadCurrentIconState activeUser:-Admin", "aaaaaaaaaa gotTrue......." }));
    EXPECT_FALSE(send<id>(send<id>(app.iconController(), "view"), "subviews").as<NSArray>()->objectAtIndex(0).as<UIImageView>())
        << "no wallpaper view for the owner outside guest mode";
}

TEST_F(HomeScreenLayoutTest, AGuestsLoadAndSaveLeaveTheCopyAloneAndReachSpringBoardsStorage)
{
    writeIconState({ "com.apple.camera", "com.apple.mobilesafari" });
    ASSERT_TRUE(PropertyList::writeFile(kIconStatePath, NSDictionary::dictionary({ { "KavlorIconState", iconStateOf({ "com.apple.Maps" }) } })));
    writeUsers({ { "Guest", guestRecord("Guest") } });
    activate("Guest");
    launch();
    id store = springBoardStore();
    SystemLog::Capture log;
    id error;
    EXPECT_TRUE(send<bool>(store, "saveCurrentIconState:error:", id(iconStateOf({ "com.apple.news" })), &error));
    EXPECT_EQ(firstPageOf(send<id>(store, "loadCurrentIconState:", &error)), (Strings { "com.apple.news" }));
    EXPECT_EQ(firstPageOf(iconStateFile()->objectForKey("KavlorIconState")), (Strings { "com.apple.Maps" }));
    EXPECT_EQ(log.lines(), (Strings { "aaaaaaaaaa activeUser saveCurrentIconState:-Guest", "aaaaaaaaaa loadCurrentIconState activeUser:-Guest" }));
}

TEST_F(HomeScreenLayoutTest, AnOwnerSaveReplacesTheCopyFirstAndASaveOfNothingRemovesIt)
{
    writeIconState({ "com.apple.camera" });
    launch();  // activeUser not set: the owner for the layout copy
    id store = springBoardStore();
    id error;
    EXPECT_TRUE(send<bool>(store, "saveCurrentIconState:error:", id(iconStateOf({ "com.apple.Maps" })), &error));
    EXPECT_EQ(firstPageOf(iconStateFile()->objectForKey("KavlorIconState")), (Strings { "com.apple.Maps" }));

    EXPECT_FALSE(send<bool>(store, "saveCurrentIconState:error:", nil, &error)) << "SpringBoard's own save still runs, and refuses nothing";
    EXPECT_FALSE(iconStateFile()->objectForKey("KavlorIconState"));
    EXPECT_EQ(firstPageOf(send<id>(store, "loadCurrentIconState:", &error)), (Strings { "com.apple.Maps" }))
        << "with no copy the next owner load keeps what SpringBoard loads";
    EXPECT_EQ(firstPageOf(iconStateFile()->objectForKey("KavlorIconState")), (Strings { "com.apple.Maps" }));
}

TEST_F(HomeScreenLayoutTest, EachAppearanceInGuestModeReplacesTheWallpaperBehindEverythingAndLaysTheIconsOut)
{
    std::ifstream sample(KAVLOR_SAMPLE_WALLPAPER, std::ios::binary);
    auto wallpaper = NSData::data(std::vector<uint8_t>(std::istreambuf_iterator<char>(sample), {}));
    ASSERT_GT(wallpaper->length(), 0u) << KAVLOR_SAMPLE_WALLPAPER;
    writeUsers({ { "Guest", guestRecord("Guest", { { "WallPaperData", wallpaper } }) } });
    writeIconState({ "com.apple.camera" });
    activate("Guest");
    SystemLog::Capture log;
    SpringBoardApp& app = launch();
    id view = send<id>(app.iconController(), "view");
    auto backmost = [&] { return send<id>(view, "subviews").as<NSArray>()->objectAtIndex(0); };
    auto imageViews = [&] {
        int count = 0;
        auto subviews = send<id>(view, "subviews").as<NSArray>();
        for (const id& subview : *subviews)
            count += subview.as<UIImageView>() ? 1 : 0;
        return count;
    };
    auto first = backmost().as<UIImageView>();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->image().as<UIImage>()->size().width, 180);
    EXPECT_TRUE(first->clipsToBounds());
    EXPECT_EQ(first->frame().size.width, send<CGRect>(view, "bounds").size.width);
    EXPECT_EQ(app.iconModel().as<SBIconModel>()->layoutCount(), 1);
    bool logged = false;
    for (const auto& line : log.lines())
        logged = logged || line.rfind("xxxxxxxxxxxxx wallpaperView.image:-<UIImage", 0) == 0;
    EXPECT_TRUE(logged);

    app.setHomeScreenVisible(false);
    app.setHomeScreenVisible(true);
    EXPECT_NE(backmost(), id(first)) << "a new wallpaper view";
    EXPECT_TRUE(backmost().as<UIImageView>());
    EXPECT_EQ(imageViews(), 1) << "the earlier view made way";
    EXPECT_EQ(app.iconModel().as<SBIconModel>()->layoutCount(), 2);
}

TEST_F(HomeScreenLayoutTest, NoWallpaperDataGivesAnImageViewWithoutImage)
{
    writeUsers({ { "Guest", guestRecord("Guest", { { "WallPaperData", NSData::data({ 1, 2, 3 }) } }) } });
    activate("Guest");
    SpringBoardApp& app = launch();
    auto back = send<id>(send<id>(app.iconController(), "view"), "subviews").as<NSArray>()->objectAtIndex(0).as<UIImageView>();
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->image());
}

} // namespace
