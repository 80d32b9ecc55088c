#include "ScreenTiles.h"

#include "PNGEncoder.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

// Tiles travel only on the loopback (the server listens on 127.0.0.1): stored, not
// compressed. Deflating a whole iPad screen took several times longer than sending and
// decoding its 17 MB uncompressed (bench/page_latency.py: a light/dark switch on a pad
// showed in about half the time), and a label's few tiles are a few hundred kilobytes.
const PNGEncodeOptions kTileEncoding { 0, PNGRowFilter::none };

Bitmap copyOfTile(const Bitmap& picture, const ScreenTiles::Tile& tile)
{
    Bitmap part = Bitmap::transparent(tile.width, tile.height);
    for (uint32_t row = 0; row < tile.height; ++row)
        std::memcpy(part.row(row), picture.row(tile.y + row) + size_t(tile.x) * Bitmap::bytesPerPixel, part.bytesPerRow());
    return part;
}

} // namespace

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

void ScreenTiles::copyTile(Bitmap& kept, const PixelsView& picture, const Tile& tile)
{
    size_t offset = size_t(tile.x) * Bitmap::bytesPerPixel;
    size_t length = size_t(tile.width) * Bitmap::bytesPerPixel;
    size_t stride = size_t(picture.width) * Bitmap::bytesPerPixel;
    for (uint32_t row = tile.y; row < tile.y + tile.height; ++row)
        std::memcpy(kept.row(row) + offset, picture.pixels + row * stride + offset, length);
}

std::shared_ptr<const std::vector<uint8_t>> ScreenTiles::encode(const Bitmap& picture, const Tile& tile)
{
    return std::make_shared<const std::vector<uint8_t>>(encodePNG(copyOfTile(picture, tile), kTileEncoding));
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
        copyTile(kept, picture, *tile);
        tile->changedIn = version;
        tile->png = encode(kept, *tile);
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

std::string ScreenTiles::packedSince(uint64_t version) const
{
    auto tiles = changedSince(version);
    nlohmann::json index { { "version", m_version }, { "width", m_picture ? m_picture->width : 0 },
        { "height", m_picture ? m_picture->height : 0 }, { "tiles", nlohmann::json::array() } };
    size_t pngBytes = 0;
    for (const Tile& tile : tiles) {
        index["tiles"].push_back({ tile.x, tile.y, tile.width, tile.height, tile.png->size() });
        pngBytes += tile.png->size();
    }
    std::string json = index.dump();
    std::string packed;
    packed.reserve(4 + json.size() + pngBytes);
    uint32_t length = static_cast<uint32_t>(json.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        packed.push_back(static_cast<char>((length >> shift) & 0xff));
    packed += json;
    for (const Tile& tile : tiles)
        packed.append(reinterpret_cast<const char*>(tile.png->data()), tile.png->size());
    return packed;
}
