// kavlor-bench-pictures DIR [COUNT]: writes COUNT (default 10) pairs of photo-like PNG
// pictures into DIR, avatar-N.png of about 1 MB and wallpaper-N.png of about 3 MB, each
// pair from its own seed, for the big-data device of the benchmarks
// (bench/make-big-device.sh). The same arguments always give the same files.

#include "PNGEncoder.h"
#include "PhotoLikeImage.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A photo-like PNG of about `targetBytes`: the picture's sides are scaled until its PNG
// comes within 5% of the target (PNG size grows with the pixel count).
std::vector<uint8_t> photoPNGOfSize(size_t targetBytes, uint64_t seed, double aspect)
{
    double pixels = double(targetBytes) / 2.0; // a first guess: photos take about 2 bytes a pixel
    std::vector<uint8_t> png;
    for (int attempt = 0; attempt < 6; ++attempt) {
        auto width = uint32_t(std::sqrt(pixels / aspect));
        auto height = uint32_t(width * aspect);
        png = encodePNG(makePhotoLikeBitmap(width, height, seed));
        double ratio = double(targetBytes) / double(png.size());
        if (std::abs(ratio - 1) < 0.05)
            break;
        pixels *= ratio;
    }
    return png;
}

bool writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
        std::fprintf(argc < 2 ? stderr : stdout,
            "usage: kavlor-bench-pictures DIR [COUNT]\n"
            "Writes COUNT (default 10) photo-like pictures pairs into DIR: avatar-N.png (about 1 MB)\n"
            "and wallpaper-N.png (about 3 MB), for the benchmarks' big-data device.\n");
        return argc < 2 ? 2 : 0;
    }
    std::filesystem::path folder = argv[1];
    int count = argc == 3 ? std::atoi(argv[2]) : 10;
    if (count <= 0) {
        std::fprintf(stderr, "kavlor-bench-pictures: COUNT must be a positive number, not '%s'\n", argv[2]);
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    for (int i = 0; i < count; ++i) {
        auto avatar = photoPNGOfSize(1u << 20, 1000 + i, 1.0);
        auto wallpaper = photoPNGOfSize(3u << 20, 2000 + i, 2.16); // a phone's portrait screen
        auto avatarPath = folder / fmt::format("avatar-{}.png", i);
        auto wallpaperPath = folder / fmt::format("wallpaper-{}.png", i);
        if (!writeFile(avatarPath, avatar) || !writeFile(wallpaperPath, wallpaper)) {
            std::fprintf(stderr, "kavlor-bench-pictures: cannot write into %s\n", folder.c_str());
            return 1;
        }
    }
    return 0;
}
