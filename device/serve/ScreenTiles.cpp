#include "ScreenTiles.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

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

void ScreenTiles::copyTile(Bitmap& kept, const PixelsView& picture, const Tile& tile)
{
    size_t offset = size_t(tile.x) * Bitmap::bytesPerPixel;
    size_t length = size_t(tile.width) * Bitmap::bytesPerPixel;
    size_t stride = size_t(picture.width) * Bitmap::bytesPerPixel;
    for (uint32_t row = tile.y; row < tile.y + tile.height; ++row)
        std::memcpy(kept.row(row) + offset, picture.pixels + row * stride + offset, length);
}

std::shared_ptr<const std::vector<uint8_t>> ScreenTiles::straightRGBA(const Bitmap& picture, const Tile& tile)
{
    auto rgba = std::make_shared<std::vector<uint8_t>>(size_t(tile.width) * tile.height * 4);
    uint8_t* out = rgba->data();
    for (uint32_t row = tile.y; row < tile.y + tile.height; ++row) {
        const uint8_t* bgra = picture.row(row) + size_t(tile.x) * Bitmap::bytesPerPixel;
        for (uint32_t x = 0; x < tile.width; ++x, bgra += 4, out += 4) {
            uint8_t alpha = bgra[3];
            if (alpha == 255) {
                out[0] = bgra[2], out[1] = bgra[1], out[2] = bgra[0];
            } else {
                out[0] = unpremultiplyComponent(bgra[2], alpha);
                out[1] = unpremultiplyComponent(bgra[1], alpha);
                out[2] = unpremultiplyComponent(bgra[0], alpha);
            }
            out[3] = alpha;
        }
    }
    return rgba;
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
        tile->rgba = straightRGBA(kept, *tile);
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

ScreenTiles::Packed ScreenTiles::packSince(uint64_t version) const
{
    Packed packed { {}, changedSince(version) };
    nlohmann::json index { { "version", m_version }, { "width", m_picture ? m_picture->width : 0 },
        { "height", m_picture ? m_picture->height : 0 }, { "tiles", nlohmann::json::array() } };
    for (const Tile& tile : packed.tiles)
        index["tiles"].push_back({ tile.x, tile.y, tile.width, tile.height, tile.rgba->size() });
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
