#include "ScreenTiles.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <xxhash.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

void ScreenTiles::cut(uint32_t width, uint32_t height)
{
    m_tiles.clear();
    for (uint32_t y = 0; y < height; y += kTileSide) {
        for (uint32_t x = 0; x < width; x += kTileSide)
            m_tiles.push_back(Tile { x, y, std::min(kTileSide, width - x), std::min(kTileSide, height - y), 0, nullptr });
    }
}

bool ScreenTiles::sameTile(const Bitmap& kept, const PixelsView& picture, const Tile& tile)
{
    size_t offset = size_t(tile.x) * Bitmap::bytesPerPixel;
    size_t length = size_t(tile.width) * Bitmap::bytesPerPixel;
    size_t stride = size_t(picture.width) * Bitmap::bytesPerPixel;
    for (uint32_t row = tile.y; row < tile.y + tile.height; ++row) {
        if (std::memcmp(kept.row(row) + offset, picture.pixels + row * stride + offset, length) != 0)
            return false;
    }
    return true;
}

namespace {

// One row of BGRA premultiplied pixels as RGBA with straight alpha. An opaque pixel only
// swaps its red and blue, and most of a screen is opaque: the row is swapped whole first,
// two pixels a 64-bit word, and only a row that had a translucent pixel is gone over again
// to divide by the alpha.
void straightRow(const uint8_t* bgra, uint8_t* rgba, uint32_t width)
{
    constexpr uint64_t kAlphaAndGreen = 0xff00ff00ff00ff00;
    constexpr uint64_t kLowByte = 0x000000ff000000ff;
    uint64_t opaque = kAlphaAndGreen & 0xff000000ff000000;
    uint32_t x = 0;
    for (; x + 2 <= width; x += 2) {
        uint64_t pair;
        std::memcpy(&pair, bgra + 4 * x, 8);
        opaque &= pair;
        pair = (pair & kAlphaAndGreen) | ((pair >> 16) & kLowByte) | ((pair & kLowByte) << 16);
        std::memcpy(rgba + 4 * x, &pair, 8);
    }
    bool allOpaque = opaque == 0xff000000ff000000;
    for (; x < width; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, bgra + 4 * x, 4);
        allOpaque = allOpaque && (pixel >> 24) == 0xff;
        pixel = (pixel & 0xff00ff00) | ((pixel >> 16) & 0xff) | ((pixel & 0xff) << 16);
        std::memcpy(rgba + 4 * x, &pixel, 4);
    }
    if (allOpaque)
        return;
    for (x = 0; x < width; ++x) {
        const uint8_t* in = bgra + 4 * x;
        uint8_t* out = rgba + 4 * x;
        uint8_t alpha = in[3];
        if (alpha == 255)
            continue;
        out[0] = unpremultiplyComponent(in[2], alpha);
        out[1] = unpremultiplyComponent(in[1], alpha);
        out[2] = unpremultiplyComponent(in[0], alpha);
    }
}

} // namespace

// Keeps the tile's new pixels for the next comparison and makes them as the page draws
// them, a row at a time while it is at hand. The page's pixels are written over the tile's
// previous ones when nobody holds those any more (no page is being sent them): a whole iPad
// screen's tiles made anew would cost 22 MB of fresh memory, its pages faulted in one by
// one, at every picture.
void ScreenTiles::takeTile(Bitmap& kept, const PixelsView& picture, Tile& tile)
{
    size_t rowBytes = size_t(tile.width) * Bitmap::bytesPerPixel;
    size_t size = rowBytes * tile.height;
    std::vector<uint8_t>* rgba = nullptr;
    if (tile.rgba && tile.rgba.use_count() == 1 && tile.rgba->size() == size) {
        rgba = const_cast<std::vector<uint8_t>*>(tile.rgba.get());  // made below, not const
    } else {
        auto fresh = std::make_shared<std::vector<uint8_t>>(size);
        rgba = fresh.get();
        tile.rgba = std::move(fresh);
    }
    size_t offset = size_t(tile.x) * Bitmap::bytesPerPixel;
    size_t stride = size_t(picture.width) * Bitmap::bytesPerPixel;
    for (uint32_t row = tile.y; row < tile.y + tile.height; ++row) {
        const uint8_t* drawn = picture.pixels + row * stride + offset;
        std::memcpy(kept.row(row) + offset, drawn, rowBytes);
        straightRow(drawn, rgba->data() + (row - tile.y) * rowBytes, tile.width);
    }
    tile.contents = XXH3_64bits_withSeed(rgba->data(), rgba->size(), uint64_t(tile.width) << 32 | tile.height);
}

// The kept picture, to be changed in place: a copy of it when someone still holds it (the
// whole picture being encoded for /screen.png), a new one when the size changed.
Bitmap& ScreenTiles::writablePicture(uint32_t width, uint32_t height)
{
    if (!m_picture || m_picture->width != width || m_picture->height != height)
        m_picture = std::make_shared<Bitmap>(Bitmap::transparent(width, height));
    else if (m_picture.use_count() > 1)
        m_picture = std::make_shared<Bitmap>(*m_picture);
    return *m_picture;
}

size_t ScreenTiles::update(const PixelsView& picture, uint64_t version)
{
    if (!picture.pixels || !Bitmap::isAcceptableSize(picture.width, picture.height))
        throw std::invalid_argument(fmt::format("ScreenTiles::update: a picture of {}x{} pixels", picture.width, picture.height));
    bool resized = !m_picture || m_picture->width != picture.width || m_picture->height != picture.height;
    if (resized)
        cut(picture.width, picture.height);
    std::vector<Tile*> changed;
    for (Tile& tile : m_tiles) {
        if (resized || !sameTile(*m_picture, picture, tile))
            changed.push_back(&tile);
    }
    if (changed.empty())
        return 0;
    m_version = version;
    Bitmap& kept = writablePicture(picture.width, picture.height);
    for (Tile* tile : changed) {
        takeTile(kept, picture, *tile);
        tile->changedIn = version;
    }
    return changed.size();
}

std::vector<ScreenTiles::Tile> ScreenTiles::changedSince(uint64_t version) const
{
    bool known = version != 0 && version <= m_version;
    std::vector<Tile> tiles;
    std::copy_if(m_tiles.begin(), m_tiles.end(), std::back_inserter(tiles), [&](const Tile& tile) { return !known || tile.changedIn > version; });
    return tiles;
}

ScreenTiles::Packed ScreenTiles::packSince(uint64_t version, PageTileSlots* slots) const
{
    Packed packed;
    nlohmann::json index { { "version", m_version }, { "width", m_picture ? m_picture->width : 0 },
        { "height", m_picture ? m_picture->height : 0 }, { "tiles", nlohmann::json::array() } };
    if (slots && m_picture)
        slots->keepPicturesOf(m_picture->pixels.size());
    for (Tile& tile : changedSince(version)) {
        if (!slots) {
            index["tiles"].push_back({ tile.x, tile.y, tile.width, tile.height, tile.rgba->size() });
            packed.tiles.push_back(std::move(tile));
            continue;
        }
        auto placement = slots->place(tile.contents, tile.rgba->size());
        index["tiles"].push_back({ tile.x, tile.y, tile.width, tile.height, placement.kept ? 0 : tile.rgba->size(), placement.slot });
        if (!placement.kept)
            packed.tiles.push_back(std::move(tile));
    }
    std::string json = index.dump();
    uint32_t length = static_cast<uint32_t>(json.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        packed.head.push_back(static_cast<char>((length >> shift) & 0xff));
    packed.head += json;
    return packed;
}

size_t ScreenTiles::Packed::size() const
{
    size_t total = head.size();
    for (const Tile& tile : tiles)
        total += tile.rgba->size();
    return total;
}

std::pair<const char*, size_t> ScreenTiles::Packed::piece(size_t offset) const
{
    if (offset < head.size())
        return { head.data() + offset, head.size() - offset };
    offset -= head.size();
    for (const Tile& tile : tiles) {
        if (offset < tile.rgba->size())
            return { reinterpret_cast<const char*>(tile.rgba->data()) + offset, tile.rgba->size() - offset };
        offset -= tile.rgba->size();
    }
    return { nullptr, 0 };
}

std::string ScreenTiles::packedSince(uint64_t version) const
{
    Packed packed = packSince(version);
    std::string bytes;
    bytes.reserve(packed.size());
    for (size_t offset = 0; offset < packed.size();) {
        auto [data, length] = packed.piece(offset);
        bytes.append(data, length);
        offset += length;
    }
    return bytes;
}
