// murvex's "saveAdminWall" path for one wallpaper (read SpringBoard's bitmap file, decode
// it, encode the first image as PNG, write the copy atomically) on photo-like wallpapers
// of phone and tablet size and of a real device's, today's way and the new one side by
// side (interleaved, so that the machine's load weighs on both alike), and ImageMagick's
// convert doing the raw-BGRA-to-PNG job in the same run. The framework's time column is
// both ways of saving together. Counters:
//   today_ms, today_png_bytes   the save as it was: the PNG encoded on one core (one
//                               libdeflate stream, rows filtered with the cheapest of sub,
//                               up and paeth); the bitmap decoded as now, in two bands,
//                               which takes a few ms off today's figure, not off the new one's
//   save_ms, png_bytes          murvex's saveWall as it is, whole path, file to file
//   new_per_today               save_ms / today_ms (the goal: at most 0.5)
//   today_cpu_ms, save_cpu_ms   the processor time of each (all threads), which the
//                               machine's load does not stretch: the work each way does
//   convert_ms, convert_bytes   convert (median of kConvertRuns runs, process start to exit)
//   speedup                     convert_ms / save_ms
//   size_ratio                  png_bytes / convert_bytes

#include "CPBitmap.h"
#include "CPBitmapImages.h"
#include "ConvertReference.h"
#include "PNGEncoder.h"
#include "PhotoLikeImage.h"
#include "SideBySide.h"
#include "WallpaperSnapshot.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kConvertRuns = 3;
constexpr const char* kBitmapPath = "/var/mobile/Library/SpringBoard/HomeBackground.cpbitmap";
constexpr const char* kCopyPath = "/Library/Kavlors/HomeBackground.png";
constexpr const char* kTodayCopyPath = "/Library/Kavlors/HomeBackground-today.png";

// A device root holding one wallpaper in SpringBoard's format, in force while it lives.
class WallpaperDeviceRoot {
public:
    explicit WallpaperDeviceRoot(const Bitmap& wallpaper)
    {
        std::string pattern = (fs::temp_directory_path() / "murvex-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary device root in " + fs::temp_directory_path().string());
        m_root = pattern;
        fs::create_directories(m_root / "var/mobile/Library/SpringBoard");
        fs::create_directories(m_root / "Library/Kavlors");
        std::vector<uint8_t> bitmapFile = encodeCPBitmap(wallpaper);
        std::ofstream(m_root / fs::path(kBitmapPath).relative_path(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bitmapFile.data()), std::streamsize(bitmapFile.size()));
        const char* previous = std::getenv("KAVLOR_DEVICE_ROOT");
        m_previousRoot = previous ? std::optional<std::string>(previous) : std::nullopt;
        setenv("KAVLOR_DEVICE_ROOT", m_root.c_str(), 1);
    }
    ~WallpaperDeviceRoot()
    {
        if (m_previousRoot)
            setenv("KAVLOR_DEVICE_ROOT", m_previousRoot->c_str(), 1);
        else
            unsetenv("KAVLOR_DEVICE_ROOT");
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    size_t fileSize(const char* devicePath) const
    {
        std::error_code error;
        auto size = fs::file_size(m_root / fs::path(devicePath).relative_path(), error);
        return error ? 0 : size_t(size);
    }

private:
    fs::path m_root;
    std::optional<std::string> m_previousRoot;
};

// Debian's ImageMagick, called directly when it is there, so that no wrapper found first
// on PATH adds its own start-up to the reference's time.
std::optional<std::string> referenceConvert()
{
    if (::access("/usr/bin/convert", X_OK) == 0)
        return std::string("/usr/bin/convert");
    return findConvert();
}

void compareWithConvert(benchmark::State& state, const Bitmap& wallpaper, double saveSeconds, size_t pngBytes)
{
    static const std::optional<std::string> convert = referenceConvert();
    if (!convert) {
        state.SetLabel("convert not found: no comparison");
        return;
    }
    try {
        ConvertRun reference = runConvertBGRAToPNG(*convert, wallpaper, kConvertRuns);
        state.counters["convert_ms"] = reference.seconds * 1e3;
        state.counters["convert_bytes"] = double(reference.pngBytes);
        state.counters["speedup"] = reference.seconds / saveSeconds;
        state.counters["size_ratio"] = double(pngBytes) / double(reference.pngBytes);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kavlor-bench: %s: the comparison with convert is skipped\n", error.what());
        state.SetLabel("convert failed: no comparison");
    }
}

double processCPUSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// saveWall as it was before the encoder used both cores (see the counters above).
void saveWallToday(const std::string& source, const std::string& destination)
{
    Id<NSArray> images = CPBitmapCreateImagesFromData(NSData::dataWithContentsOfFile(source), nullptr, 1, nullptr);
    if (!images || images->count() == 0)
        throw std::runtime_error("today's save: no image in " + source);
    PNGEncodeOptions options;
    options.filter = PNGRowFilter::adaptiveWithoutAverage;
    options.parts = 1;
    options.deflater = PNGDeflater::libdeflate;
    Id<NSData> png = NSData::data(encodePNG(images->firstObject().as<CGImage>()->bitmap(), options));
    if (!png->writeToFile(destination, true))
        throw std::runtime_error("today's save: cannot write " + destination);
}

void BM_MurvexSaveWallVersusConvert(benchmark::State& state)
{
    Bitmap wallpaper = makePhotoLikeBitmap(uint32_t(state.range(0)), uint32_t(state.range(1)));
    WallpaperDeviceRoot root(wallpaper);
    double todayCPUSeconds = 0, saveCPUSeconds = 0;
    SideBySide ways;
    ways.add("today", [&] {
        double start = processCPUSeconds();
        saveWallToday(kBitmapPath, kTodayCopyPath);
        todayCPUSeconds += processCPUSeconds() - start;
    });
    ways.add("save", [&] {
        double start = processCPUSeconds();
        saveWall(kBitmapPath, kCopyPath);
        saveCPUSeconds += processCPUSeconds() - start;
    });
    ways.measure(state, 1e3, "_ms");
    state.counters["today_cpu_ms"] = todayCPUSeconds / double(state.iterations()) * 1e3;
    state.counters["save_cpu_ms"] = saveCPUSeconds / double(state.iterations()) * 1e3;
    size_t pngBytes = root.fileSize(kCopyPath);
    if (pngBytes == 0) {
        state.SkipWithError("saveWall wrote no PNG copy");
        return;
    }
    state.counters["png_bytes"] = double(pngBytes);
    state.counters["today_png_bytes"] = double(root.fileSize(kTodayCopyPath));
    state.counters["new_per_today"] = ways.seconds("save") / ways.seconds("today");
    compareWithConvert(state, wallpaper, ways.seconds("save"), pngBytes);
}

// Fixed iterations, so that convert runs once per size and not again for the framework's
// estimate of how many iterations to make.
BENCHMARK(BM_MurvexSaveWallVersusConvert)
    ->Args({ 1943, 2591 })
    ->Args({ 1284, 2778 })
    ->Args({ 2048, 2732 })
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
