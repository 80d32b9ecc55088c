#include "PhotoLikeImage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr double kTwoPi = 6.283185307179586;

// splitmix64: small, fast, and identical everywhere.
class Random {
public:
    explicit Random(uint64_t seed)
        : m_state(seed)
    {
    }

    uint64_t next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    double uniform(double low, double high) { return low + (high - low) * double(next() >> 11) * 0x1.0p-53; }

private:
    uint64_t m_state;
};

struct Colour {
    double r, g, b;
};

Colour mix(Colour a, Colour b, double t)
{
    return { a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t };
}

struct Blob {
    double x, y, radiusX, radiusY, strength;
};

struct Rect {
    int left, top, right, bottom;
    Colour colour;
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// The picture without noise, described by a few shapes chosen from the seed.
class Scene {
public:
    Scene(uint32_t width, uint32_t height, Random& random)
        : m_width(width)
        , m_height(height)
        , m_horizon(int(height * random.uniform(0.55, 0.65)))
        , m_sunX(width * random.uniform(0.55, 0.8))
        , m_sunY(m_horizon * random.uniform(0.3, 0.6))
        , m_sunRadius(std::min(width, height) * 0.05)
        , m_skyRipple(width)
        , m_groundTextureX(width)
        , m_groundTextureY(height)
    {
        double phase = random.uniform(0, kTwoPi);
        for (uint32_t x = 0; x < width; ++x) {
            double u = double(x) / width;
            m_skyRipple[x] = 12 * std::sin(kTwoPi * 1.3 * u + phase);
            m_groundTextureX[x] = 9 * std::sin(kTwoPi * 37 * u + phase) + 6 * std::sin(kTwoPi * 113 * u);
        }
        for (uint32_t y = 0; y < height; ++y)
            m_groundTextureY[y] = 7 * std::sin(kTwoPi * 61 * double(y) / height + 2 * phase);
        for (int i = 0; i < 6; ++i) {
            m_clouds.push_back({ random.uniform(0, width), random.uniform(0, m_horizon * 0.8),
                width * random.uniform(0.1, 0.3), height * random.uniform(0.02, 0.05), random.uniform(40, 90) });
        }
        addBuildings(random);
        m_road = { width * random.uniform(0.3, 0.45), width * random.uniform(0.05, 0.15) };
    }

    Colour at(int x, int y) const
    {
        for (const Rect& rect : m_buildings) {
            if (rect.contains(x, y))
                return rect.colour;
        }
        return y < m_horizon ? sky(x, y) : ground(x, y);
    }

private:
    void addBuildings(Random& random)
    {
        int x = int(m_width * random.uniform(0, 0.1));
        while (x < int(m_width * 0.5)) {
            // At least a pixel, so that a narrow picture's street ends.
            int buildingWidth = std::max(1, int(m_width * random.uniform(0.04, 0.1)));
            int buildingTop = m_horizon - int(m_height * random.uniform(0.05, 0.2));
            Colour shade = { random.uniform(40, 70), random.uniform(45, 75), random.uniform(60, 90) };
            addWindows(x, buildingTop, buildingWidth, random);
            m_buildings.push_back({ x, buildingTop, x + buildingWidth, m_horizon + 2, shade });
            x += buildingWidth + int(m_width * random.uniform(0.0, 0.03));
        }
    }

    void addWindows(int left, int top, int width, Random& random)
    {
        int size = std::max(2, width / 8);
        for (int y = top + size; y + size < m_horizon; y += 2 * size) {
            for (int x = left + size; x + size < left + width; x += 2 * size) {
                if (random.next() % 3 == 0)
                    m_buildings.push_back({ x, y, x + size, y + size, { 250, 220, 140 } });
            }
        }
    }

    Colour sky(int x, int y) const
    {
        double t = std::pow(double(y) / m_horizon, 0.8);
        Colour colour = mix({ 30, 60, 140 }, { 250, 180, 120 }, t);
        double ripple = m_skyRipple[x];
        colour.r += ripple;
        colour.b -= ripple;
        double cloud = 0;
        for (const Blob& blob : m_clouds) {
            double dx = (x - blob.x) / blob.radiusX, dy = (y - blob.y) / blob.radiusY;
            double d2 = dx * dx + dy * dy;
            if (d2 < 9)
                cloud += blob.strength * std::exp(-d2);
        }
        colour = { colour.r + cloud, colour.g + cloud, colour.b + cloud * 0.9 };
        double distance = std::hypot(x - m_sunX, y - m_sunY);
        if (distance < m_sunRadius)
            return { 255, 242, 205 };
        double glow = 90 * std::exp(-(distance - m_sunRadius) / (m_width * 0.08));
        return { colour.r + glow, colour.g + glow * 0.8, colour.b + glow * 0.5 };
    }

    Colour ground(int x, int y) const
    {
        double depth = double(y - m_horizon) / (m_height - m_horizon);
        double roadHalfWidth = m_road.halfWidth * (0.1 + depth);
        if (std::abs(x - m_road.centre) < roadHalfWidth)
            return mix({ 110, 110, 115 }, { 70, 70, 75 }, depth);
        Colour colour = mix({ 90, 120, 60 }, { 40, 70, 25 }, depth);
        double texture = m_groundTextureX[x] * (0.3 + depth) + m_groundTextureY[y];
        return { colour.r + texture, colour.g + texture * 1.2, colour.b + texture * 0.5 };
    }

    struct Road {
        double centre, halfWidth;
    };

    uint32_t m_width, m_height;
    int m_horizon;
    double m_sunX, m_sunY, m_sunRadius;
    std::vector<double> m_skyRipple, m_groundTextureX, m_groundTextureY;
    std::vector<Blob> m_clouds;
    std::vector<Rect> m_buildings;
    Road m_road {};
};

uint8_t toByte(double value)
{
    return uint8_t(std::clamp(std::lround(value), 0L, 255L));
}

} // namespace

Bitmap makePhotoLikeBitmap(uint32_t width, uint32_t height, uint64_t seed)
{
    Random random(seed);
    Scene scene(width, height, random);
    Bitmap bitmap = Bitmap::transparent(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* pixel = bitmap.row(y);
        for (uint32_t x = 0; x < width; ++x, pixel += 4) {
            Colour colour = scene.at(int(x), int(y));
            // Sensor-like noise: each channel off by -5..5, most often by little.
            uint64_t bits = random.next();
            auto noise = [&](int shift) { return double(int((bits >> shift) & 7) + int((bits >> (shift + 3)) & 3)) - 5.0; };
            pixel[0] = toByte(colour.b + noise(0));
            pixel[1] = toByte(colour.g + noise(8));
            pixel[2] = toByte(colour.r + noise(16));
            pixel[3] = 255;
        }
    }
    return bitmap;
}
