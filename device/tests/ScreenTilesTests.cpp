// The screen in tiles: which tiles a change sends, and that the tiles drawn over the page's
// last picture give exactly the new one.

#include "ScreenTiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <set>
#include <utility>

namespace {

constexpr uint32_t kSide = ScreenTiles::kTileSide;

// A picture with some detail everywhere, so that a misplaced tile cannot go unnoticed.
Bitmap patterned(uint32_t width, uint32_t height, uint8_t seed = 0)
{
    Bitmap picture = Bitmap::transparent(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* pixel = picture.row(y) + size_t(x) * 4;
            pixel[0] = uint8_t(x * 7 + seed);
            pixel[1] = uint8_t(y * 3 + (x / kSide) * 29 + (y / kSide) * 53);  // no two tiles alike
            pixel[2] = uint8_t((x ^ y) + seed);
            pixel[3] = 255;
            // Some rows translucent (premultiplied: no component above the alpha), which the
            // page is sent with straight alpha.
            if (y % 97 == 0) {
                pixel[3] = uint8_t(x);
                for (int c = 0; c < 3; ++c)
                    pixel[c] = std::min(pixel[c], pixel[3]);
            }
        }
    }
    return picture;
}

void paintRectangle(Bitmap& picture, uint32_t left, uint32_t top, uint32_t width, uint32_t height)
{
    for (uint32_t y = top; y < top + height; ++y) {
        for (uint32_t x = left; x < left + width; ++x) {
            uint8_t* pixel = picture.row(y) + size_t(x) * 4;
            pixel[0] = 255 - pixel[0];
        }
    }
}

using Origins = std::set<std::pair<uint32_t, uint32_t>>;

Origins originsOf(const std::vector<ScreenTiles::Tile>& tiles)
{
    Origins origins;
    for (const auto& tile : tiles)
        origins.insert({ tile.x, tile.y });
    return origins;
}

// What a page keeps of its tiles: each slot's RGBA pixels.
using KeptTiles = std::map<uint32_t, std::vector<uint8_t>>;

// What the page does with a packed answer: reads the index and puts each tile's RGBA pixels
// over `shown` (a fresh picture of the answer's size when the size differs); with `kept`,
// keeps each tile sent in its slot and draws a tile sent as a slot from what it keeps.
uint64_t drawPacked(const std::string& packed, Bitmap& shown, KeptTiles* kept = nullptr)
{
    auto byte = [&](size_t at) { return uint32_t(uint8_t(packed.at(at))); };
    uint32_t indexLength = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    auto index = nlohmann::json::parse(packed.substr(4, indexLength));
    uint32_t width = index.at("width"), height = index.at("height");
    if (shown.width != width || shown.height != height)
        shown = Bitmap::transparent(width, height);
    size_t offset = 4 + indexLength;
    for (const auto& entry : index.at("tiles")) {
        uint32_t x = entry.at(0), y = entry.at(1), tileWidth = entry.at(2), tileHeight = entry.at(3);
        size_t length = entry.at(4);
        const uint8_t* rgba = reinterpret_cast<const uint8_t*>(packed.data()) + offset;
        EXPECT_EQ(entry.size() == 6, kept != nullptr);
        if (kept && length == 0) {
            auto found = kept->find(entry.at(5));
            if (found == kept->end()) {
                ADD_FAILURE() << "slot " << entry.at(5) << " is not kept";
                continue;
            }
            rgba = found->second.data();
            EXPECT_EQ(found->second.size(), size_t(tileWidth) * tileHeight * 4) << "the tile at " << x << "," << y;
        } else {
            EXPECT_EQ(length, size_t(tileWidth) * tileHeight * 4) << "the tile at " << x << "," << y;
            if (kept)
                (*kept)[entry.at(5)].assign(rgba, rgba + length);
        }
        for (uint32_t row = 0; row < tileHeight; ++row) {
            for (uint32_t column = 0; column < tileWidth; ++column, rgba += 4) {
                uint8_t* bgra = shown.row(y + row) + size_t(x + column) * 4;
                bgra[0] = premultiplyComponent(rgba[2], rgba[3]);
                bgra[1] = premultiplyComponent(rgba[1], rgba[3]);
                bgra[2] = premultiplyComponent(rgba[0], rgba[3]);
                bgra[3] = rgba[3];
            }
        }
        offset += length;
    }
    EXPECT_EQ(offset, packed.size());
    return index.at("version");
}

// The packed bytes, as a stream sends them piece by piece.
std::string bytesOf(const ScreenTiles::Packed& packed)
{
    std::string bytes;
    for (size_t offset = 0; offset < packed.size();) {
        auto [data, length] = packed.piece(offset);
        bytes.append(data, length);
        offset += length;
    }
    return bytes;
}

TEST(ScreenTilesTest, TheFirstPictureIsEveryTileAndTheyComposeIntoIt)
{
    // A phone's 750x1624 is no multiple of the tile's side: the last column and row are narrower.
    Bitmap picture = patterned(750, 1624);
    ScreenTiles tiles;
    EXPECT_EQ(tiles.update(picture, 1), 3u * 7u);
    EXPECT_EQ(tiles.tileCount(), 3u * 7u);
    auto all = tiles.changedSince(0);
    ASSERT_EQ(all.size(), 21u);
    EXPECT_EQ(all.back().width, 750 - 2 * kSide);
    EXPECT_EQ(all.back().height, 1624 - 6 * kSide);

    Bitmap shown;
    EXPECT_EQ(drawPacked(tiles.packedSince(0), shown), 1u);
    EXPECT_TRUE(shown == picture);
    EXPECT_TRUE(*tiles.picture() == picture);
}

TEST(ScreenTilesTest, AChangedLabelSendsOnlyTheTilesItCoversAndTheyGiveTheNewPicture)
{
    Bitmap before = patterned(750, 1624);
    ScreenTiles tiles;
    tiles.update(before, 1);

    // A label across the border of two tiles' columns, inside one row of tiles.
    Bitmap after = before;
    paintRectangle(after, 200, 300, 120, 40);
    EXPECT_EQ(tiles.update(after, 2), 2u);
    EXPECT_EQ(originsOf(tiles.changedSince(1)), (Origins { { 0, kSide }, { kSide, kSide } }));

    Bitmap shown = before;
    EXPECT_EQ(drawPacked(tiles.packedSince(1), shown), 2u);
    EXPECT_TRUE(shown == after);

    // Another change elsewhere: a page two versions behind gets both changes' tiles.
    Bitmap later = after;
    paintRectangle(later, 740, 1620, 10, 4);
    EXPECT_EQ(tiles.update(later, 3), 1u);
    EXPECT_EQ(originsOf(tiles.changedSince(2)), (Origins { { 2 * kSide, 6 * kSide } }));
    EXPECT_EQ(tiles.changedSince(1).size(), 3u);
    shown = before;
    drawPacked(tiles.packedSince(1), shown);
    EXPECT_TRUE(shown == later);
}

TEST(ScreenTilesTest, TheSamePictureSendsNothingAndAnUnknownVersionGetsEverything)
{
    Bitmap picture = patterned(600, 600);
    ScreenTiles tiles;
    tiles.update(picture, 1);
    EXPECT_EQ(tiles.update(picture, 2), 0u);
    EXPECT_EQ(tiles.version(), 1u);
    EXPECT_TRUE(tiles.changedSince(1).empty());
    // A page of an earlier server counts its versions on from another start.
    EXPECT_EQ(tiles.changedSince(40).size(), tiles.tileCount());
}

TEST(ScreenTilesTest, ANewSizeIsEveryTileAndAHeldPictureStaysAsItWas)
{
    ScreenTiles tiles;
    Bitmap phone = patterned(750, 1624);
    tiles.update(phone, 1);
    auto held = tiles.picture();   // the whole picture being encoded for /screen.png

    Bitmap changed = phone;
    paintRectangle(changed, 0, 0, 10, 10);
    tiles.update(changed, 2);
    EXPECT_TRUE(*held == phone);
    EXPECT_TRUE(*tiles.picture() == changed);

    Bitmap pad = patterned(1536, 2048, 9);
    EXPECT_EQ(tiles.update(pad, 3), 6u * 8u);
    EXPECT_EQ(tiles.changedSince(2).size(), 48u);
    Bitmap shown = changed;
    drawPacked(tiles.packedSince(2), shown);
    EXPECT_TRUE(shown == pad);
}

// A page being sent its tiles holds them: a new picture changes the tiles it is sent, not the
// pixels on their way. An odd width leaves the last column of tiles an odd number of pixels.
TEST(ScreenTilesTest, TilesOnTheirWayToAPageStayAsTheyWereWhileNewPicturesComeIn)
{
    Bitmap first = patterned(601, 300);
    ScreenTiles tiles;
    tiles.update(first, 1);
    ScreenTiles::Packed onItsWay = tiles.packSince(0);

    Bitmap second = patterned(601, 300, 40);
    EXPECT_EQ(tiles.update(second, 2), tiles.tileCount());
    Bitmap third = second;
    paintRectangle(third, 520, 292, 81, 8);  // below the translucent row 291
    EXPECT_EQ(tiles.update(third, 3), 1u);

    Bitmap shown;
    EXPECT_EQ(drawPacked(bytesOf(onItsWay), shown), 1u);
    EXPECT_TRUE(shown == first);
    drawPacked(tiles.packedSince(1), shown);
    EXPECT_TRUE(shown == third);
}

// Packed for a page that keeps its tiles: a screen seen before comes back as slots alone,
// and what the page draws from what it keeps is exactly the picture.
TEST(ScreenTilesTest, AScreenSeenBeforeIsSentAsTheSlotsThePageKeepsItIn)
{
    Bitmap lock = patterned(750, 1624), home = patterned(750, 1624, 77);
    ScreenTiles tiles;
    PageTileSlots slots;
    KeptTiles kept;
    Bitmap shown;
    auto show = [&](const Bitmap& picture, uint64_t version) {
        tiles.update(picture, version);
        ScreenTiles::Packed packed = tiles.packSince(version - 1, &slots);
        drawPacked(bytesOf(packed), shown, &kept);
        EXPECT_TRUE(shown == picture) << "version " << version;
        return packed.tiles.size();
    };
    EXPECT_EQ(show(lock, 1), 21u);
    EXPECT_EQ(show(home, 2), 21u);
    EXPECT_EQ(show(lock, 3), 0u) << "the lock screen is kept whole";
    Bitmap later = lock;
    paintRectangle(later, 10, 10, 100, 20);  // the clock's minute
    EXPECT_EQ(show(later, 4), 1u);
    EXPECT_EQ(show(home, 5), 0u);
    EXPECT_EQ(slots.keptCount(), 43u);
}

// The page keeps at most its budget (here four pictures of four tiles): the tile used
// longest ago gives up its slot to a new one; what was given up is sent again, and the page's
// picture is still exact.
TEST(ScreenTilesTest, APageKeepsTilesWithinItsBudgetAndIsSentAgainWhatItGaveUp)
{
    std::vector<Bitmap> pictures;
    for (uint8_t seed = 0; seed < 5; ++seed)
        pictures.push_back(patterned(512, 512, seed * 40));
    size_t tileBytes = size_t(kSide) * kSide * 4;
    ScreenTiles tiles;
    PageTileSlots slots(tileBytes);
    KeptTiles kept;
    Bitmap shown;
    uint64_t version = 0;
    auto show = [&](const Bitmap& picture) {
        tiles.update(picture, ++version);
        ScreenTiles::Packed packed = tiles.packSince(version - 1, &slots);
        drawPacked(bytesOf(packed), shown, &kept);
        EXPECT_TRUE(shown == picture) << "version " << version;
        EXPECT_LE(slots.keptBytes(), slots.budgetBytes());
        return packed.tiles.size();
    };
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(show(pictures[i]), 4u);
    EXPECT_EQ(slots.budgetBytes(), 16 * tileBytes) << "four whole pictures";
    EXPECT_EQ(show(pictures[0]), 0u);
    EXPECT_EQ(show(pictures[4]), 4u) << "the second picture, used longest ago, gives up its slots";
    EXPECT_EQ(show(pictures[0]), 0u);
    EXPECT_EQ(show(pictures[2]), 0u);
    EXPECT_EQ(show(pictures[1]), 4u);
    EXPECT_EQ(kept.size(), 16u) << "slots given up are used again";

    // Tiles alike within one picture (a plain colour) are sent once.
    Bitmap plain = Bitmap::transparent(512, 512);
    EXPECT_EQ(show(plain), 1u);
}

TEST(PageTileSlotsTest, TheTileUsedLongestAgoGivesUpItsSlotFirst)
{
    PageTileSlots slots(300);
    EXPECT_FALSE(slots.place(1, 100).kept);
    EXPECT_FALSE(slots.place(2, 100).kept);
    EXPECT_FALSE(slots.place(3, 100).kept);
    auto one = slots.place(1, 100);  // used again: now the most recent
    EXPECT_TRUE(one.kept);
    auto four = slots.place(4, 100);
    EXPECT_FALSE(four.kept);
    EXPECT_TRUE(slots.place(1, 100).kept);
    EXPECT_FALSE(slots.place(2, 100).kept) << "2 gave up its slot to 4";
    EXPECT_TRUE(slots.place(4, 100).kept);
    EXPECT_EQ(slots.keptBytes(), 300u);
    EXPECT_EQ(slots.keptCount(), 3u);
    // A tile larger than the whole budget is still placed, alone.
    auto large = slots.place(9, 1000);
    EXPECT_FALSE(large.kept);
    EXPECT_EQ(slots.keptCount(), 1u);
    EXPECT_TRUE(slots.place(9, 1000).kept);
}

TEST(ScreenTilesTest, PixelsOfNoAcceptableSizeAreRefused)
{
    ScreenTiles tiles;
    uint8_t pixel[4] = {};
    EXPECT_THROW(tiles.update(ScreenTiles::PixelsView { pixel, 0, 1 }, 1), std::invalid_argument);
    EXPECT_THROW(tiles.update(ScreenTiles::PixelsView { nullptr, 1, 1 }, 1), std::invalid_argument);
    EXPECT_FALSE(tiles.picture());
}

} // namespace
