#pragma once
// ScreenTiles: the latest picture of the screen, cut into square tiles, each with the
// version of the picture it last changed in and its pixels as the page draws them. A new
// picture is compared with the previous one tile by tile and only the tiles that differ are
// copied, so a change in one label costs the few tiles it covers, not the whole screen (5.6
// million pixels on an iPad).
// A page that has version V asks for the tiles changed since V and draws them over what it
// has; one that has nothing (V = 0), or a version this picture does not descend from, gets
// every tile.
//
// The packed form the page reads (packedSince()):
//   4 bytes, big-endian: the length N of the index
//   N bytes of JSON: {"version", "width", "height", "tiles": [[x, y, width, height, bytes], ...]}
//   the tiles' pixels, one after the other, in the index's order: width × height × 4 bytes
//   each, RGBA with straight alpha, top row first (what a canvas's ImageData holds)
// Packed for a page that keeps tiles (PageTileSlots), each tile also names its slot,
// [x, y, width, height, bytes, slot]: with bytes, its pixels follow and the page keeps them
// in the slot; with 0 bytes, the page draws what it keeps there.
//
// Bare pixels, not PNG: the page is served on the loopback only, where a whole iPad screen's
// 22 MB arrive in a few milliseconds, while decoding its tiles as PNGs (even stored, not
// deflated) took the browser about 100 ms, and deflating them the server as long again
// (bench/page_latency.py).

#include "Bitmap.h"
#include "PageTileSlots.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ScreenTiles {
public:
    static constexpr uint32_t kTileSide = 256;

    struct Tile {
        uint32_t x = 0, y = 0, width = 0, height = 0;
        uint64_t changedIn = 0;
        std::shared_ptr<const std::vector<uint8_t>> rgba;
        uint64_t contents = 0;  // a hash of the pixels and their size
    };

    // Pixels in Bitmap's layout held elsewhere (a file SpringBoard drew into).
    struct PixelsView {
        const uint8_t* pixels = nullptr;
        uint32_t width = 0, height = 0;
    };

    // Takes the picture as version `version` (greater than the last one): copies and
    // encodes the tiles that differ from the previous picture (every tile when the size
    // changed) and answers how many they are. A picture without a change is no new version.
    size_t update(const PixelsView& picture, uint64_t version);
    size_t update(const Bitmap& picture, uint64_t version) { return update({ picture.pixels.data(), picture.width, picture.height }, version); }

    uint64_t version() const { return m_version; }
    size_t tileCount() const { return m_tiles.size(); }
    // The whole picture (nothing before the first update); it stays as it is while held.
    std::shared_ptr<const Bitmap> picture() const { return m_picture; }
    // The tiles that changed after `version`; every tile for 0 or a version not yet seen.
    std::vector<Tile> changedSince(uint64_t version) const;

    // The packed form, as its head (the length and the index) and the tiles whose pixels
    // follow it: sent piece by piece, the pixels are never copied into one buffer.
    struct Packed {
        std::string head;
        std::vector<Tile> tiles;  // those whose pixels are sent

        size_t size() const;
        // The bytes from `offset` to the end of the piece that holds it.
        std::pair<const char*, size_t> piece(size_t offset) const;
    };
    // For a page that keeps tiles, `slots` places each tile and is told what the page keeps
    // (and that it may keep several pictures of this size).
    Packed packSince(uint64_t version, PageTileSlots* slots = nullptr) const;
    std::string packedSince(uint64_t version) const;

private:
    void cut(uint32_t width, uint32_t height);
    Bitmap& writablePicture(uint32_t width, uint32_t height);
    static bool sameTile(const Bitmap& kept, const PixelsView& picture, const Tile& tile);
    static void takeTile(Bitmap& kept, const PixelsView& picture, Tile& tile);

    std::shared_ptr<Bitmap> m_picture;
    std::vector<Tile> m_tiles;
    uint64_t m_version = 0;
};
